#include "tools/NumberBase.h"

namespace keldrin {

NumberBase BaseOfItem(int itemIndex) {
    if (itemIndex == 1) return NumberBase::Bin;
    if (itemIndex == 2) return NumberBase::Dec;
    return NumberBase::Hex;
}

namespace {

int radixOf(NumberBase base) {
    switch (base) {
        case NumberBase::Bin:
            return 2;
        case NumberBase::Dec:
            return 10;
        case NumberBase::Hex:
            break;
    }
    return 16;
}

int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return 99;
}

std::optional<std::uint64_t> parseDigits(QStringView digits, int radix) {
    std::uint64_t value = 0;
    for (QChar c : digits) {
        const int d = digitValue(c);
        if (d >= radix) return std::nullopt;
        if (value > (UINT64_MAX - std::uint64_t(d)) / std::uint64_t(radix)) return std::nullopt;
        value = value * std::uint64_t(radix) + std::uint64_t(d);
    }
    return value;
}

}  // namespace

QString FormatInBase(std::uint64_t value, NumberBase base) {
    switch (base) {
        case NumberBase::Bin:
            return QString::number(value, 2);
        case NumberBase::Dec:
            return QString::number(value, 10);
        case NumberBase::Hex:
            break;
    }
    return QLatin1Char('$') + ValueToAsHex(value);
}

std::optional<std::uint64_t> ParseInBase(const QString& text, NumberBase base) {
    QStringView digits(text);
    if (base == NumberBase::Hex && digits.startsWith(QLatin1Char('$'))) digits = digits.mid(1);
    return parseDigits(digits, radixOf(base));
}

QString ValueToAsHex(std::uint64_t value) {
    return QString::number(value, 16).toUpper();
}

std::optional<std::uint64_t> AsHexToValue(const QString& text) {
    QStringView digits = QStringView(text).trimmed();
    if (digits.startsWith(QLatin1Char('$')))
        digits = digits.mid(1);
    else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty()) return std::nullopt;
    return parseDigits(digits, 16);
}

}  // namespace keldrin
