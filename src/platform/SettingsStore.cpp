#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace keldrin::platform {

QString MangleElementName(const QString& name) {
    QString out = name;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        const bool keep = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                          (u >= '0' && u <= '9') || u == ':' || u == '-' || u == '.' || u == '_';
        if (!keep) c = u'_';
    }
    return out;
}

QString BooleanText(bool value) {
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

std::optional<bool> BooleanFromText(const QString& text) {
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("TRUE") || t == QLatin1String("YES") || t == QLatin1String("Y"))
        return true;
    if (t == QLatin1String("FALSE") || t == QLatin1String("NO") || t == QLatin1String("N"))
        return false;
    if (std::optional<int> n = IntegerFromText(text)) return *n != 0;
    return std::nullopt;
}

std::optional<int> IntegerFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i)
        if (!(t.at(i).isDigit() && t.at(i).unicode() < 128) &&
            !(i == 0 && (t.at(i) == u'-' || t.at(i) == u'+')))
            return std::nullopt;
    bool ok = false;
    const int n = t.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return n;
}

namespace {

constexpr std::uint64_t kTopBit = std::uint64_t(1) << 63;
constexpr std::uint64_t kFraction = (std::uint64_t(1) << 52) - 1;

int highestBit(std::uint64_t v) {
    return 63 - __builtin_clzll(v);
}

// v / 2^shift rounded to the nearest, ties to even; 1 <= shift <= 64.
std::uint64_t shiftRounded(std::uint64_t v, int shift) {
    const std::uint64_t q = shift == 64 ? 0 : v >> shift;
    const std::uint64_t rest = shift == 64 ? v : v & ((std::uint64_t(1) << shift) - 1);
    const std::uint64_t half = std::uint64_t(1) << (shift - 1);
    return q + ((rest > half || (rest == half && (q & 1))) ? 1 : 0);
}

double fromBits(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

QString ExtendedText(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const unsigned sign = unsigned(bits >> 63);
    const unsigned e = unsigned(bits >> 52) & 0x7FF;
    const std::uint64_t m = bits & kFraction;
    unsigned exponent = 0;
    std::uint64_t mantissa = 0;
    if (e == 0x7FF) {  // infinities and NaNs keep their payload
        exponent = 0x7FFF;
        mantissa = kTopBit | (m << 11);
    } else if (e != 0) {
        exponent = e - 1023 + 16383;
        mantissa = kTopBit | (m << 11);
    } else if (m != 0) {  // a denormal double is a normal extended value
        const int p = highestBit(m);
        mantissa = m << (63 - p);
        exponent = unsigned(16383 - 1074 + p);
    }
    const unsigned signExponent = (sign << 15) | exponent;
    unsigned char bytes[10];
    for (int i = 0; i < 8; ++i) bytes[i] = (unsigned char)(mantissa >> (8 * i));
    bytes[8] = (unsigned char)(signExponent & 0xFF);
    bytes[9] = (unsigned char)(signExponent >> 8);
    QString out;
    for (unsigned char b : bytes) out += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return out.toUpper();
}

std::optional<double> ExtendedValue(const QString& value) {
    const QString text = value.trimmed();
    if (text.size() != 20) return std::nullopt;
    unsigned char bytes[10];
    for (int i = 0; i < 10; ++i) {
        bool ok = false;
        const QString pair = text.mid(2 * i, 2);
        for (QChar c : pair)
            if (!std::isxdigit(c.unicode() < 128 ? int(c.unicode()) : 0)) return std::nullopt;
        bytes[i] = (unsigned char)pair.toUInt(&ok, 16);
        if (!ok) return std::nullopt;
    }
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | bytes[i];
    const unsigned signExponent = unsigned(bytes[8]) | (unsigned(bytes[9]) << 8);
    const std::uint64_t sign = std::uint64_t(signExponent >> 15) << 63;
    const int exponent = int(signExponent & 0x7FFF);

    if (exponent == 0x7FFF) {
        if ((mantissa << 1) == 0) return fromBits(sign | (std::uint64_t(0x7FF) << 52));
        std::uint64_t payload = (mantissa >> 11) & kFraction;
        if (payload == 0) payload = std::uint64_t(1) << 51;
        return fromBits(sign | (std::uint64_t(0x7FF) << 52) | payload);
    }
    if (mantissa == 0) return fromBits(sign);

    // value = mantissa * 2^(e - 16383 - 63), with the exponent 0 read as 1 (denormals).
    const int e = exponent == 0 ? 1 : exponent;
    const int p = highestBit(mantissa);
    int x = e - 16383 - 63 + p;  // exponent of the leading bit
    if (x > 1023) return fromBits(sign | (std::uint64_t(0x7FF) << 52));
    if (x >= -1022) {
        std::uint64_t s = p > 52 ? shiftRounded(mantissa, p - 52) : mantissa << (52 - p);
        if (s == (std::uint64_t(1) << 53)) {
            s >>= 1;
            ++x;
            if (x > 1023) return fromBits(sign | (std::uint64_t(0x7FF) << 52));
        }
        return fromBits(sign | (std::uint64_t(x + 1023) << 52) | (s & kFraction));
    }
    // Below the normal range: a multiple of 2^-1074, rounded; a carry into bit 52 gives the
    // smallest normal number, which the bit pattern expresses by itself.
    const int shift = 16383 + 63 - 1074 - e;
    std::uint64_t f = 0;
    if (shift <= 0)
        f = mantissa << -shift;
    else if (shift <= 64)
        f = shiftRounded(mantissa, shift);
    return fromBits(sign | f);
}

// ---------------------------------------------------------------------------------------------

SettingsStore::SettingsStore(QString fileName) : fileName_(std::move(fileName)) {
    root_.name = QStringLiteral("Configuration");
}

SettingsStore::LoadReport SettingsStore::load() {
    LoadReport report;
    QFile file(fileName_);
    if (!file.exists()) return report;
    if (!file.open(QIODevice::ReadOnly)) {
        // Someone else's file we cannot even read: not ours to replace.
        writable_ = false;
        report.outcome = Loaded::Unreadable;
        report.problem = file.errorString();
        return report;
    }
    const QByteArray bytes = file.read(kMaxSettingsFileBytes + 1);
    file.close();
    XmlParse parsed = ParseSettingsXml(bytes);
    if (parsed.root) {
        root_ = std::move(*parsed.root);
        report.outcome = Loaded::Read;
        return report;
    }
    report.outcome = Loaded::SetAside;
    report.problem = parsed.problem;
    const QString bad = fileName_ + QStringLiteral(".bad");
    QFile::remove(bad);
    QFile::rename(fileName_, bad);
    return report;
}

const XmlElement* SettingsStore::find(const QString& keyPath) const {
    const XmlElement* e = &root_;
    bool any = false;
    for (const QString& part : keyPath.split(u'\\', Qt::SkipEmptyParts)) {
        e = e->child(MangleElementName(part));
        if (!e) return nullptr;
        any = true;
    }
    return any ? e : nullptr;
}

XmlElement* SettingsStore::make(const QString& keyPath) {
    const QStringList parts = keyPath.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) return nullptr;
    XmlElement* e = &root_;
    e->raw.reset();
    for (const QString& part : parts) {
        const QString name = MangleElementName(part);
        XmlElement* next = e->child(name);
        if (!next) {
            e->children.push_back(XmlElement{});
            next = &e->children.back();
            next->name = name;
        }
        e = next;
        e->raw.reset();  // what is written below it changes its content
    }
    return e;
}

bool SettingsStore::exists(const QString& keyPath) const {
    return find(keyPath) != nullptr;
}

std::optional<QString> SettingsStore::readText(const QString& keyPath) const {
    const XmlElement* e = find(keyPath);
    if (!e) return std::nullopt;
    return e->value();
}

int SettingsStore::readInteger(const QString& keyPath, int fallback) const {
    const std::optional<QString> text = readText(keyPath);
    if (!text) return fallback;
    return IntegerFromText(*text).value_or(fallback);
}

void SettingsStore::writeText(const QString& keyPath, const QString& value) {
    XmlElement* e = make(keyPath);
    if (!e) return;
    e->children.clear();
    e->text = value;
    written();
}

void SettingsStore::writeInteger(const QString& keyPath, int value) {
    writeText(keyPath, QString::number(value));
}

void SettingsStore::writeBoolean(const QString& keyPath, bool value) {
    writeText(keyPath, BooleanText(value));
}

void SettingsStore::writeExtended(const QString& keyPath, double value) {
    writeText(keyPath, ExtendedText(value));
}

void SettingsStore::written() {
    if (batchDepth_ > 0)
        pending_ = true;
    else
        makeCurrent();
}

bool SettingsStore::makeCurrent() {
    pending_ = false;
    if (!writable_) return false;
    const QFileInfo info(fileName_);
    // A file marked read-only (no write permission for anyone, which binds even the
    // administrator here) or one this user may not write is left alone.
    constexpr auto kAnyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & kAnyWrite))) return false;
    QDir().mkpath(info.absolutePath());
    // The temporary file is renamed without being synced to the disk first: a width change
    // writes the file, and "Auto Resize Columns" changes sixteen widths in a row. A file that a
    // power cut leaves empty is set aside at the next start like any unreadable one.
    QTemporaryFile file(fileName_ + QStringLiteral(".XXXXXX"));
    if (!file.open()) return false;
    const QByteArray bytes = WriteSettingsXml(root_);
    if (file.write(bytes) != bytes.size() || !file.flush()) return false;
    file.setPermissions(info.exists() ? info.permissions()
                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(fileName_).constData()) != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}

}  // namespace keldrin::platform
