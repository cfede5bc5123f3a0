// The profile-string reader (project files) on any file: nothing may crash; a value written
// under a section and key reads back, and the same key of every other section keeps its value;
// a removed section is gone.

#include <QFile>
#include <cstdint>
#include <optional>

#include "FuzzKit.h"
#include "platform/ProfileStrings.h"

using namespace keldrin::platform;
using fuzzkit::bytes;

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Names match without regard to blanks around them or to Latin-1 letter case.
QByteArray fold(const QByteArray& name) {
    qsizetype b = 0, e = name.size();
    while (b < e && blank(name[b])) ++b;
    while (e > b && blank(name[e - 1])) --e;
    QByteArray out = name.mid(b, e - b);
    for (char& ch : out) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) ch = char(c + 32);
    }
    return out;
}

bool lineBreak(const QByteArray& t) {
    return t.contains('\n') || t.contains('\r');
}

bool writable(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray k = fold(key);
    return !fold(section).isEmpty() && !section.contains(']') && !lineBreak(section) &&
           !k.isEmpty() && !k.contains('=') && !k.startsWith('[') && !k.startsWith(';') &&
           !lineBreak(key) && !lineBreak(value);
}

// A value that reads back as written: no blanks or quotes at its ends, not too long.
bool plain(const QByteArray& v) {
    if (v.size() > kProfileValueMax) return false;
    if (v.isEmpty()) return true;
    const auto outer = [](char c) { return blank(c) || c == '"' || c == '\''; };
    return !outer(v.front()) && !outer(v.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QByteArray section = bytes(in.ConsumeRandomLengthString(16));
    const QByteArray key = bytes(in.ConsumeRandomLengthString(16));
    const QByteArray value = bytes(in.ConsumeRandomLengthString(64));
    const bool inSession = in.ConsumeBool();
    const QByteArray content = bytes(in.ConsumeRemainingBytesAsString());

    const QString file =
        QFile::decodeName(QByteArray::fromStdString(fuzzkit::scratchPath("profile")));
    fuzzkit::writeFile(fuzzkit::scratchPath("profile"), content);

    std::optional<ProfileSession> session;
    if (inSession) session.emplace(file);

    const QByteArrayList names = ProfileSectionNames(file);
    for (const QByteArray& name : names)
        FUZZ_CHECK(name.isEmpty() || (!blank(name.front()) && !blank(name.back())));
    // A few sections are enough to see the others keep their values; each read parses the file.
    const QByteArrayList probed = names.mid(0, 4);
    QList<std::optional<QByteArray>> before;
    for (const QByteArray& name : probed) {
        const std::optional<QByteArray> v = ReadProfileValue(file, name, key);
        FUZZ_CHECK(!v || v->size() <= kProfileValueMax);
        before.push_back(v);
    }

    const bool ok = WriteProfileString(file, section, key, value);
    FUZZ_CHECK(ok == writable(section, key, value));
    if (ok) {
        const std::optional<QByteArray> back = ReadProfileValue(file, section, key);
        FUZZ_CHECK(back.has_value());
        if (plain(value)) FUZZ_CHECK(*back == value);
        for (qsizetype i = 0; i < probed.size(); ++i)
            if (fold(probed[i]) != fold(section))
                FUZZ_CHECK(ReadProfileValue(file, probed[i], key) == before[i]);
        FUZZ_CHECK(ProfileSectionNames(file).size() >= names.size());
    }
    if (session) FUZZ_CHECK(session->commit());

    if (!names.isEmpty()) {
        const QByteArray gone = names[qsizetype(value.size()) % names.size()];
        FUZZ_CHECK(RemoveProfileSection(file, gone));
        for (const QByteArray& name : ProfileSectionNames(file))
            FUZZ_CHECK(fold(name) != fold(gone));
    }
    return 0;
}
