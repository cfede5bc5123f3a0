#include "widgets/HexFormat.h"

#include <limits>

namespace keldrin {

int OffsetDigits(std::int64_t size) {
    std::uint64_t largest = size > 1 ? std::uint64_t(size - 1) : 0;
    int digits = 1;
    while (largest >= 16) {
        largest >>= 4;
        ++digits;
    }
    return digits;
}

QString FormatOffset(std::int64_t offset, int digits) {
    return QStringLiteral("0x") +
           QString::number(qulonglong(offset), 16)
               .toUpper()
               .rightJustified(digits, QLatin1Char('0')) +
           QLatin1Char('|');
}

char DisplayChar(unsigned char byte) {
    const bool printable = (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0;
    return printable ? char(byte) : '.';
}

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

std::optional<std::int64_t> digitsValue(QStringView digits, int radix) {
    if (digits.isEmpty()) return std::nullopt;
    std::int64_t value = 0;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0 || d >= radix) return std::nullopt;
        if (value > (kMax - d) / radix) return std::nullopt;
        value = value * radix + d;
    }
    return value;
}

}  // namespace

std::optional<std::int64_t> ParseOffset(const QString& text) {
    QStringView t = QStringView(text).trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return digitsValue(t.mid(2), 16);
    if (t.startsWith(QLatin1Char('$'))) return digitsValue(t.mid(1), 16);
    if (t.endsWith(QLatin1Char('h'), Qt::CaseInsensitive)) return digitsValue(t.chopped(1), 16);
    return digitsValue(t, 10);
}

std::optional<QByteArray> ParseHexBytes(const QString& text) {
    QByteArray out;
    int high = -1;
    for (QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char('\t')) {
            if (high >= 0) return std::nullopt;  // a lone digit before a separator
            continue;
        }
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        if (high < 0) {
            high = d;
        } else {
            out += char(high * 16 + d);
            high = -1;
        }
    }
    if (high >= 0 || out.isEmpty()) return std::nullopt;
    return out;
}

}  // namespace keldrin
