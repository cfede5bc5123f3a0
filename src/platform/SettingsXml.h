#pragma once

// The small XML subset of the settings file "Keldrin.xml": a declaration, one root element,
// nested elements with text. The file's own element names ("-----") are not strict XML names and
// older files hold texts without escaping ("A<B&C>!"), so this reader accepts both; a general
// XML library would refuse them.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace keldrin::platform {

struct XmlElement {
    QString name;
    QString attributes;  // the start tag's attributes as written (kept, never interpreted)
    QString text;        // decoded text; of a leaf, its value
    std::vector<XmlElement> children;
    // Everything between the tags exactly as read. Set only for an element read from a file and
    // not changed since, so that it is written back as it was; cleared by any change inside it.
    std::optional<QString> raw;

    // The value of a leaf: its text. An element whose text was taken for child elements (a text
    // "<B>x</B>" written without escaping) gives its content as written.
    QString value() const;
    XmlElement* child(const QString& childName);
    const XmlElement* child(const QString& childName) const;
};

struct XmlParse {
    std::optional<XmlElement> root;  // set when the file was read
    QString problem;                 // why it was not
};

// Files beyond this size are not settings files.
constexpr qsizetype kMaxSettingsFileBytes = 1 << 20;

// Reads a whole file. The declaration's encoding chooses between ISO-8859-1 (the default) and
// UTF-8. Where an element's content is not well-formed, its text runs as written up to its own
// closing tag.
XmlParse ParseSettingsXml(const QByteArray& bytes);

// The whole file: declaration, CR LF, the root with two spaces of indent per level, CR LF after
// every line. Texts are escaped; characters beyond ISO-8859-1 and control characters are written
// as character references so that every text reads back as it was.
QByteArray WriteSettingsXml(const XmlElement& root);

}  // namespace keldrin::platform
