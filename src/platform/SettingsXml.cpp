#include "platform/SettingsXml.h"

#include <QRegularExpression>

namespace keldrin::platform {

QString XmlElement::value() const {
    if (children.empty()) return text;
    return raw ? *raw : text;
}

XmlElement* XmlElement::child(const QString& childName) {
    for (XmlElement& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

const XmlElement* XmlElement::child(const QString& childName) const {
    for (const XmlElement& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

namespace {

// Deep enough for any settings file; a limit keeps hostile input from exhausting the stack.
constexpr int kMaxDepth = 64;

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isNameChar(QChar c) {
    if (c.unicode() <= 32) return false;
    switch (c.unicode()) {
        case '<':
        case '>':
        case '/':
        case '=':
        case '&':
        case '"':
        case '\'':
        case '!':
        case '?':
            return false;
        default:
            return true;
    }
}

class Parser {
  public:
    explicit Parser(const QString& s) : s_(s) {}

    XmlParse run() {
        XmlParse out;
        if (!skipMisc(true)) {
            out.problem = QStringLiteral("no root element");
            return out;
        }
        std::optional<XmlElement> root = element(0);
        if (!root) {
            out.problem = problem_.isEmpty() ? QStringLiteral("malformed root element") : problem_;
            return out;
        }
        if (root->name != QLatin1String("Configuration")) {
            out.problem = QStringLiteral("the root element is not \"Configuration\"");
            return out;
        }
        if (!skipMisc(false) || pos_ != s_.size()) {
            out.problem = QStringLiteral("text after the root element");
            return out;
        }
        out.root = std::move(root);
        return out;
    }

  private:
    bool at(const char* literal) const {
        const QLatin1String l(literal);
        return s_.size() - pos_ >= l.size() && QStringView(s_).mid(pos_, l.size()) == l;
    }

    // Skips `open` ... `close`; false when it does not end.
    bool skipPast(const char* open, const char* close) {
        const qsizetype end = s_.indexOf(QLatin1String(close), pos_ + qsizetype(qstrlen(open)));
        if (end < 0) return false;
        pos_ = end + qsizetype(qstrlen(close));
        return true;
    }

    bool skipDoctype() {
        // "<!DOCTYPE name [ ... ]>": brackets may hold '>'.
        int brackets = 0;
        for (pos_ += 9; pos_ < s_.size(); ++pos_) {
            const QChar c = s_.at(pos_);
            if (c == u'[') ++brackets;
            if (c == u']') --brackets;
            if (c == u'>' && brackets <= 0) {
                ++pos_;
                return true;
            }
        }
        return false;
    }

    // White space, comments and processing instructions (and, before the root, a document type).
    // Before the root, true when an element start follows; after it, true when nothing broken
    // was met.
    bool skipMisc(bool beforeRoot) {
        for (;;) {
            while (pos_ < s_.size() && isSpace(s_.at(pos_))) ++pos_;
            if (at("<?")) {
                if (!skipPast("<?", "?>")) return false;
            } else if (at("<!--")) {
                if (!skipPast("<!--", "-->")) return false;
            } else if (beforeRoot && at("<!DOCTYPE")) {
                if (!skipDoctype()) return false;
            } else {
                return beforeRoot ? at("<") : true;
            }
        }
    }

    std::optional<QString> name() {
        const qsizetype start = pos_;
        while (pos_ < s_.size() && isNameChar(s_.at(pos_))) ++pos_;
        if (pos_ == start) return std::nullopt;
        return s_.mid(start, pos_ - start);
    }

    // At '<' of a start tag; on success the position is past the element.
    std::optional<XmlElement> element(int depth) {
        if (depth > kMaxDepth) {
            problem_ = QStringLiteral("elements nested too deeply");
            return std::nullopt;
        }
        ++pos_;
        XmlElement e;
        std::optional<QString> n = name();
        if (!n) return std::nullopt;
        e.name = *n;
        // Attributes, kept as written.
        const qsizetype attrStart = pos_;
        for (;;) {
            while (pos_ < s_.size() && isSpace(s_.at(pos_))) ++pos_;
            if (pos_ >= s_.size()) return std::nullopt;
            if (at("/>")) {
                e.attributes = s_.mid(attrStart, pos_ - attrStart);
                pos_ += 2;
                e.raw = QString();
                return e;
            }
            if (s_.at(pos_) == u'>') {
                e.attributes = s_.mid(attrStart, pos_ - attrStart);
                ++pos_;
                break;
            }
            if (pos_ == attrStart || !name()) return std::nullopt;  // attributes need a space
            while (pos_ < s_.size() && isSpace(s_.at(pos_))) ++pos_;
            if (pos_ >= s_.size() || s_.at(pos_) != u'=') return std::nullopt;
            ++pos_;
            while (pos_ < s_.size() && isSpace(s_.at(pos_))) ++pos_;
            if (pos_ >= s_.size() || (s_.at(pos_) != u'"' && s_.at(pos_) != u'\''))
                return std::nullopt;
            const QChar quote = s_.at(pos_);
            for (++pos_; pos_ < s_.size() && s_.at(pos_) != quote; ++pos_)
                if (s_.at(pos_) == u'<') return std::nullopt;
            if (pos_ >= s_.size()) return std::nullopt;
            ++pos_;
        }

        const qsizetype contentStart = pos_;
        if (content(e, depth)) {
            keepRaw(e, s_.mid(contentStart, contentEnd_ - contentStart));
            return e;
        }
        // The root must hold elements; below it, content that is not well-formed is a text
        // written without escaping, which runs as written up to its element's own closing tag.
        if (depth == 0) return std::nullopt;
        pos_ = contentStart;
        const qsizetype end = closingTag(e.name, contentStart);
        if (end < 0) return std::nullopt;
        e.text = s_.mid(contentStart, end - contentStart);
        e.children.clear();
        keepRaw(e, e.text);
        return e;
    }

    // Content is written back as it was only where the file's ISO-8859-1 can hold it; content of
    // a UTF-8 file beyond that is written anew from what was read.
    static void keepRaw(XmlElement& e, const QString& raw) {
        for (QChar c : raw)
            if (c.unicode() > 0xFF) return;
        e.raw = raw;
    }

    // Position of "</name>" (white space allowed before '>') from `from`; the position is moved
    // past it. -1 when there is none.
    qsizetype closingTag(const QString& n, qsizetype from) {
        const QString open = QStringLiteral("</") + n;
        for (qsizetype i = s_.indexOf(open, from); i >= 0; i = s_.indexOf(open, i + 1)) {
            qsizetype j = i + open.size();
            while (j < s_.size() && isSpace(s_.at(j))) ++j;
            if (j < s_.size() && s_.at(j) == u'>') {
                pos_ = j + 1;
                return i;
            }
        }
        return -1;
    }

    // Well-formed content up to and including the closing tag; false at the first fault.
    bool content(XmlElement& e, int depth) {
        QString text;
        for (;;) {
            if (pos_ >= s_.size()) return false;
            const QChar c = s_.at(pos_);
            if (c == u'<') {
                if (at("</")) {
                    const qsizetype tagStart = pos_;
                    pos_ += 2;
                    std::optional<QString> n = name();
                    if (!n || *n != e.name) return false;
                    while (pos_ < s_.size() && isSpace(s_.at(pos_))) ++pos_;
                    if (pos_ >= s_.size() || s_.at(pos_) != u'>') return false;
                    ++pos_;
                    contentEnd_ = tagStart;
                    break;
                }
                if (at("<!--")) {
                    if (!skipPast("<!--", "-->")) return false;
                } else if (at("<![CDATA[")) {
                    const qsizetype end = s_.indexOf(QLatin1String("]]>"), pos_ + 9);
                    if (end < 0) return false;
                    text += QStringView(s_).mid(pos_ + 9, end - pos_ - 9);
                    pos_ = end + 3;
                } else if (at("<?")) {
                    if (!skipPast("<?", "?>")) return false;
                } else {
                    std::optional<XmlElement> child = element(depth + 1);
                    if (!child) return false;
                    e.children.push_back(std::move(*child));
                }
            } else if (c == u'&') {
                if (!entity(text)) return false;
            } else {
                text += c;
                ++pos_;
            }
        }
        e.text = text;
        return true;
    }

    bool entity(QString& text) {
        // References are short; looking further would make a text full of '&' slow to reject.
        const qsizetype semi = QStringView(s_).mid(pos_, 12).indexOf(u';') + pos_;
        if (semi < pos_) return false;
        const QString ref = s_.mid(pos_ + 1, semi - pos_ - 1);
        static const struct {
            const char* name;
            char16_t ch;
        } named[] = {{"lt", u'<'}, {"gt", u'>'}, {"amp", u'&'}, {"quot", u'"'}, {"apos", u'\''}};
        for (const auto& n : named) {
            if (ref == QLatin1String(n.name)) {
                text += QChar(n.ch);
                pos_ = semi + 1;
                return true;
            }
        }
        if (!ref.startsWith(u'#') || ref.size() < 2) return false;
        bool ok = false;
        const bool hex = ref.at(1) == u'x' || ref.at(1) == u'X';
        const QString digits = ref.mid(hex ? 2 : 1);
        for (QChar d : digits)
            if (!(d.isDigit() || (hex && QStringLiteral("abcdefABCDEF").contains(d)))) return false;
        const uint code = digits.toUInt(&ok, hex ? 16 : 10);
        if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        const char32_t cp = code;
        text += QString::fromUcs4(&cp, 1);
        pos_ = semi + 1;
        return true;
    }

    const QString& s_;
    qsizetype pos_ = 0;
    qsizetype contentEnd_ = 0;
    QString problem_;
};

QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("<?xml")) {
        const qsizetype end = bytes.indexOf("?>");
        const QByteArray declaration = bytes.left(end < 0 ? 0 : end).toLower();
        static const QRegularExpression utf8(QStringLiteral("encoding\\s*=\\s*[\"']utf-?8[\"']"));
        if (utf8.match(QString::fromLatin1(declaration)).hasMatch())
            return QString::fromUtf8(bytes);
    }
    return QString::fromLatin1(bytes);
}

void appendEscaped(QByteArray& out, const QString& text, bool markup) {
    const QList<uint> codes = text.toUcs4();
    for (uint code : codes) {
        if (markup && code == '<')
            out += "&lt;";
        else if (markup && code == '>')
            out += "&gt;";
        else if (markup && code == '&')
            out += "&amp;";
        else if ((markup && code < 0x20) || code > 0xFF)
            out += "&#" + QByteArray::number(code) + ';';
        else
            out += char(code);
    }
}

QByteArray latin1Name(const QString& name) {
    QByteArray out;
    for (QChar c : name) out += c.unicode() > 0xFF ? '_' : char(c.unicode());
    return out;
}

void writeElement(QByteArray& out, const XmlElement& e, int indent) {
    const QByteArray pad(indent, ' ');
    const QByteArray n = latin1Name(e.name);
    out += pad + '<' + n;
    appendEscaped(out, e.attributes, false);
    out += '>';
    if (e.raw) {
        appendEscaped(out, *e.raw, false);
    } else if (e.children.empty()) {
        appendEscaped(out, e.text, true);
    } else {
        out += "\r\n";
        for (const XmlElement& c : e.children) writeElement(out, c, indent + 2);
        out += pad;
    }
    out += "</" + n + ">\r\n";
}

}  // namespace

XmlParse ParseSettingsXml(const QByteArray& bytes) {
    if (bytes.size() > kMaxSettingsFileBytes) {
        XmlParse out;
        out.problem = QStringLiteral("the file is larger than %1 bytes").arg(kMaxSettingsFileBytes);
        return out;
    }
    const QString text = decode(bytes);
    return Parser(text).run();
}

QByteArray WriteSettingsXml(const XmlElement& root) {
    QByteArray out = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";
    writeElement(out, root, 0);
    return out;
}

}  // namespace keldrin::platform
