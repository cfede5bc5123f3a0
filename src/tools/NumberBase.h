#pragma once

// Texts of a number field that shows one value in hexadecimal, binary or decimal.

#include <QString>
#include <cstdint>
#include <optional>

namespace keldrin {

enum class NumberBase { Hex, Bin, Dec };

// The base a radio group's item stands for: 1 binary, 2 decimal, anything else hexadecimal.
NumberBase BaseOfItem(int itemIndex);

// The value as the field shows it: "$1234", "1001000110100", "4660".
QString FormatInBase(std::uint64_t value, NumberBase base);

// The value of a field's text in `base` ("$" before hex digits optional); nothing for a text that
// holds anything but the base's digits or does not fit 64 bits. The empty text is 0.
std::optional<std::uint64_t> ParseInBase(const QString& text, NumberBase base);

// Hex digits without prefix ("1234"), the form the settings file keeps.
QString ValueToAsHex(std::uint64_t value);
// Reads that form; a leading "$" or "0x" is accepted too.
std::optional<std::uint64_t> AsHexToValue(const QString& text);

}  // namespace keldrin
