#include "platform/Convert.h"

#include <cstdint>

#include "platform/Errors.h"

namespace keldrin {

int StrToInt(const QString& text) {
    const auto fail = [&]() -> int {
        throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
    };
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' ')) ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    int base = 10;
    if (i < text.size() && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return fail();
    const std::int64_t limit = base == 16 ? std::int64_t(UINT32_MAX) : std::int64_t(INT32_MAX) + 1;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        int digit = -1;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        if (digit < 0) return fail();
        value = value * base + digit;
        if (value > limit) return fail();
    }
    if (negative) value = -value;
    // Hexadecimal may spell a negative number through its top bit, as "$FFFFFFFF" for -1.
    if (base == 16 && !negative && value <= std::int64_t(UINT32_MAX))
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    if (value < INT32_MIN || value > INT32_MAX) return fail();
    return int(value);
}

}  // namespace keldrin
