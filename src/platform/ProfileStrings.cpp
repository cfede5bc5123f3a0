#include "platform/ProfileStrings.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <algorithm>
#include <functional>
#include <vector>

namespace keldrin::platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArrayView trimBlanks(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back())) text.chop(1);
    return text;
}

// Latin-1 lower case, so "STATUS" and "Status" (and "ÄNDERUNG" and "änderung") are one name.
QByteArray fold(QByteArrayView text) {
    QByteArray out = trimBlanks(text).toByteArray();
    for (char& ch : out) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            ch = static_cast<char>(c + 32);
    }
    return out;
}

enum class Eol : unsigned char { None, Lf, Cr, CrLf };

const char* eolText(Eol e) {
    switch (e) {
        case Eol::Lf:
            return "\n";
        case Eol::Cr:
            return "\r";
        case Eol::CrLf:
            return "\r\n";
        case Eol::None:
            break;
    }
    return "";
}

struct Line {
    QByteArray text;      // without its line end
    Eol eol = Eol::None;  // None only for a last line without a line end
};

// Folded key -> its first line. Sections are mostly a handful of keys, so a list is the fastest;
// a hash is added for the rare long section.
class KeyIndex {
  public:
    int find(const QByteArray& folded) const {
        if (hash_) return hash_->value(folded, -1);
        for (const auto& [k, line] : list_)
            if (k == folded) return line;
        return -1;
    }
    void add(const QByteArray& folded, int line) {
        if (find(folded) >= 0) return;
        list_.emplace_back(folded, line);
        if (hash_) {
            hash_->insert(folded, line);
        } else if (list_.size() > 16) {
            hash_ = std::make_unique<QHash<QByteArray, int>>();
            for (const auto& [k, l] : list_) hash_->insert(k, l);
        }
    }

  private:
    std::vector<std::pair<QByteArray, int>> list_;
    std::unique_ptr<QHash<QByteArray, int>> hash_;
};

struct Section {
    QByteArray name;          // as written, blanks dropped; empty for the lines before any section
    std::vector<Line> lines;  // lines[0] is the "[name]" line, except in the leading part
    KeyIndex keys;
    int lastKeyLine = 0;  // where a new key goes after; 0 is the header line
    bool removed = false;
};

struct Document {
    QByteArray bom;       // a UTF-8 mark some Windows editors put first; kept, never parsed
    Eol eol = Eol::CrLf;  // for new lines: the file's first line end
    std::vector<Section> sections;  // sections[0] holds the lines before the first section
    QHash<QByteArray, std::vector<int>> index;  // folded name -> its sections, in file order
};

enum class LineKind { Other, Header, Key };

LineKind classify(const QByteArray& text, QByteArrayView* name) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text.at(i))) ++i;
    if (i == text.size()) return LineKind::Other;
    const char first = text.at(i);
    if (first == '[') {
        qsizetype close = text.indexOf(']', i + 1);
        if (close < 0) close = text.size();
        *name = trimBlanks(QByteArrayView(text).sliced(i + 1, close - i - 1));
        return LineKind::Header;
    }
    if (first == ';') return LineKind::Other;
    const qsizetype eq = text.indexOf('=', i);
    if (eq < 0) return LineKind::Other;
    *name = trimBlanks(QByteArrayView(text).sliced(i, eq - i));
    return name->isEmpty() ? LineKind::Other : LineKind::Key;
}

void addKey(Section& s, QByteArrayView key, int line) {
    s.keys.add(fold(key), line);
    s.lastKeyLine = line;
}

Document parse(const QByteArray& raw) {
    Document doc;
    doc.sections.emplace_back();
    qsizetype pos = 0;
    if (raw.startsWith("\xEF\xBB\xBF")) {
        doc.bom = raw.left(3);
        pos = 3;
    }
    bool eolKnown = false;
    while (pos < raw.size()) {
        qsizetype end = pos;
        while (end < raw.size() && raw.at(end) != '\n' && raw.at(end) != '\r') ++end;
        Line line{raw.mid(pos, end - pos), Eol::None};
        pos = end;
        if (end < raw.size()) {
            if (raw.at(end) == '\n') {
                line.eol = Eol::Lf;
                pos += 1;
            } else if (end + 1 < raw.size() && raw.at(end + 1) == '\n') {
                line.eol = Eol::CrLf;
                pos += 2;
            } else {
                line.eol = Eol::Cr;
                pos += 1;
            }
        }
        if (!eolKnown && line.eol != Eol::None) {
            doc.eol = line.eol;
            eolKnown = true;
        }
        // `name` looks into the line's text, so it is used before the line moves.
        QByteArrayView name;
        switch (classify(line.text, &name)) {
            case LineKind::Header: {
                Section s;
                s.name = name.toByteArray();
                doc.index[fold(name)].push_back(int(doc.sections.size()));
                s.lines.push_back(std::move(line));
                doc.sections.push_back(std::move(s));
                break;
            }
            case LineKind::Key: {
                Section& s = doc.sections.back();
                // Keys before the first section cannot be addressed.
                if (doc.sections.size() > 1) addKey(s, name, int(s.lines.size()));
                s.lines.push_back(std::move(line));
                break;
            }
            case LineKind::Other:
                doc.sections.back().lines.push_back(std::move(line));
                break;
        }
    }
    return doc;
}

QByteArray serialize(const Document& doc) {
    // Find the last line that will be written: only it may go without a line end.
    const Line* last = nullptr;
    for (const Section& s : doc.sections)
        if (!s.removed && !s.lines.empty()) last = &s.lines.back();
    QByteArray out = doc.bom;
    for (const Section& s : doc.sections) {
        if (s.removed) continue;
        for (const Line& l : s.lines) {
            out += l.text;
            out += eolText((l.eol == Eol::None && &l != last) ? doc.eol : l.eol);
        }
    }
    return out;
}

// The line holding `key` in the first section called `section` that has it.
const Line* findKey(const Document& doc, const QByteArray& section, const QByteArray& key) {
    const auto it = doc.index.constFind(fold(section));
    if (it == doc.index.constEnd()) return nullptr;
    const QByteArray k = fold(key);
    for (int si : *it) {
        const Section& s = doc.sections[size_t(si)];
        const int line = s.keys.find(k);
        if (line >= 0) return &s.lines[size_t(line)];
    }
    return nullptr;
}

QByteArray valueOf(const Line& line) {
    QByteArrayView v = trimBlanks(QByteArrayView(line.text).sliced(line.text.indexOf('=') + 1));
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        v = v.sliced(1, v.size() - 2);
    return v.first(std::min<qsizetype>(v.size(), kProfileValueMax)).toByteArray();
}

bool hasLineBreak(QByteArrayView text) {
    return text.contains('\n') || text.contains('\r');
}

bool validSection(const QByteArray& section) {
    return !trimBlanks(section).isEmpty() && !section.contains(']') && !hasLineBreak(section);
}

bool validKey(const QByteArray& key) {
    const QByteArrayView k = trimBlanks(key);
    return !k.isEmpty() && !k.contains('=') && !k.startsWith('[') && !k.startsWith(';') &&
           !hasLineBreak(k);
}

// Sets the value; true when the document changed.
bool setValue(Document& doc, const QByteArray& section, const QByteArray& key,
              const QByteArray& value) {
    const QByteArray sectionFold = fold(section);
    const QByteArray keyFold = fold(key);
    auto it = doc.index.find(sectionFold);
    if (it != doc.index.end()) {
        for (int si : *it) {
            Section& s = doc.sections[size_t(si)];
            const int at = s.keys.find(keyFold);
            if (at < 0) continue;
            Line& line = s.lines[size_t(at)];
            // Keep the key as it is spelled and spaced; only the value changes.
            const QByteArray updated = line.text.left(line.text.indexOf('=') + 1) + value;
            if (updated == line.text) return false;
            line.text = updated;
            return true;
        }
    }
    const QByteArray keyText = trimBlanks(key).toByteArray();
    if (it == doc.index.end()) {
        Section s;
        s.name = trimBlanks(section).toByteArray();
        s.lines.push_back({'[' + s.name + ']', doc.eol});
        it = doc.index.insert(sectionFold, {int(doc.sections.size())});
        doc.sections.push_back(std::move(s));
    }
    Section& s = doc.sections[size_t(it->front())];
    const int at = s.lastKeyLine + 1;
    s.lines.insert(s.lines.begin() + at, Line{keyText + '=' + value, doc.eol});
    addKey(s, keyText, at);
    return true;
}

bool removeSection(Document& doc, const QByteArray& section) {
    const auto it = doc.index.find(fold(section));
    if (it == doc.index.end()) return false;
    for (int si : *it) doc.sections[size_t(si)].removed = true;
    doc.index.erase(it);
    return true;
}

QByteArrayList sectionNames(const Document& doc) {
    QByteArrayList names;
    for (size_t i = 1; i < doc.sections.size(); ++i)
        if (!doc.sections[i].removed) names.push_back(doc.sections[i].name);
    return names;
}

// Only regular files are read, so a FIFO or a device given as a project cannot block us.
Document load(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return parse(QByteArray());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return parse(QByteArray());
    return parse(f.readAll());
}

bool store(const QString& path, const Document& doc) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
    const QByteArray bytes = serialize(doc);
    QSaveFile f(path);
    // A folder we may not create files in still lets us rewrite a file we may write.
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

struct Open {
    std::shared_ptr<Document> doc;
    int users = 0;
    bool wroteThrough = false;  // the session's first change has gone to the file
    bool dirty = false;         // changes the file does not have yet
};

QMutex registryMutex;
QHash<QString, Open>& registry() {
    static QHash<QString, Open> r;
    return r;
}

// Called for every value, mostly with the same name: the last absolute name is remembered (a
// relative one depends on the working folder, so it is worked out each time).
QString pathKey(const QString& fileName) {
    thread_local QString lastName, lastKey;
    if (fileName == lastName && !lastName.isEmpty()) return lastKey;
    QString key = QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
    if (QDir::isAbsolutePath(fileName)) {
        lastName = fileName;
        lastKey = key;
    }
    return key;
}

// Runs `change` on the file's document; `change` returns true when it changed something.
// Returns false when a change could not be written.
bool modify(const QString& fileName, const std::function<bool(Document&)>& change) {
    if (fileName.isEmpty()) return false;
    const QString key = pathKey(fileName);
    QMutexLocker lock(&registryMutex);
    const auto it = registry().find(key);
    if (it == registry().end()) {
        Document doc = load(key);
        if (!change(doc)) return true;
        return store(key, doc);
    }
    Open& open = *it;
    if (!change(*open.doc)) return true;
    if (open.wroteThrough) {
        open.dirty = true;
        return true;
    }
    if (store(key, *open.doc)) {
        open.wroteThrough = true;
        return true;
    }
    // Keep memory what the file holds, so a later commit does not write what failed here.
    *open.doc = load(key);
    return false;
}

template <typename Fn>
auto inspect(const QString& fileName, Fn fn) {
    const QString key = pathKey(fileName);
    QMutexLocker lock(&registryMutex);
    const auto it = registry().constFind(key);
    if (it != registry().constEnd()) return fn(*it->doc);
    const Document doc = load(key);
    return fn(doc);
}

}  // namespace

std::optional<QByteArray> ReadProfileValue(const QString& fileName, const QByteArray& section,
                                           const QByteArray& key) {
    if (fileName.isEmpty()) return std::nullopt;
    return inspect(fileName, [&](const Document& doc) -> std::optional<QByteArray> {
        const Line* line = findKey(doc, section, key);
        if (!line) return std::nullopt;
        return valueOf(*line);
    });
}

QByteArray ReadProfileString(const QString& fileName, const QByteArray& section,
                             const QByteArray& key, const QByteArray& defaultValue) {
    return ReadProfileValue(fileName, section, key).value_or(defaultValue);
}

bool WriteProfileString(const QString& fileName, const QByteArray& section, const QByteArray& key,
                        const QByteArray& value) {
    if (!validSection(section) || !validKey(key) || hasLineBreak(value)) return false;
    return modify(fileName, [&](Document& doc) { return setValue(doc, section, key, value); });
}

bool RemoveProfileSection(const QString& fileName, const QByteArray& section) {
    if (fileName.isEmpty()) return true;
    return modify(fileName, [&](Document& doc) { return removeSection(doc, section); });
}

QByteArrayList ProfileSectionNames(const QString& fileName) {
    if (fileName.isEmpty()) return {};
    return inspect(fileName, [](const Document& doc) { return sectionNames(doc); });
}

ProfileSession::ProfileSession(const QString& fileName)
    : key_(fileName.isEmpty() ? QString() : pathKey(fileName)) {
    if (key_.isEmpty()) return;
    QMutexLocker lock(&registryMutex);
    Open& open = registry()[key_];
    if (!open.doc) open.doc = std::make_shared<Document>(load(key_));
    ++open.users;
}

ProfileSession::~ProfileSession() {
    if (key_.isEmpty()) return;
    commit();
    QMutexLocker lock(&registryMutex);
    const auto it = registry().find(key_);
    if (it != registry().end() && --it->users <= 0) registry().erase(it);
}

bool ProfileSession::commit() {
    if (key_.isEmpty()) return true;
    QMutexLocker lock(&registryMutex);
    const auto it = registry().find(key_);
    if (it == registry().end() || !it->dirty) return true;
    if (!store(key_, *it->doc)) return false;
    it->dirty = false;
    return true;
}

}  // namespace keldrin::platform
