#pragma once

// Texts of the hex view, free of widgets: the offset format, the character column, and the
// inputs of its "Go to offset" and search boxes.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace keldrin {

// Hex digits that the largest offset of a view of `size` bytes needs (at least 1).
int OffsetDigits(std::int64_t size);
// An offset in the view's format "-!10:0x|": "0x", hex digits padded to `digits`, "|".
QString FormatOffset(std::int64_t offset, int digits);

// The character column shows printable Latin-1 characters as they are, everything else as ".".
char DisplayChar(unsigned char byte);

// "Go to offset": "0x1A", "$1A" and "1Ah" are hexadecimal, plain digits decimal; surrounding
// blanks are allowed. Nothing for anything else or a negative or too large value.
std::optional<std::int64_t> ParseOffset(const QString& text);

// A search for hex bytes: pairs of hex digits, blanks and commas between them allowed
// ("41 42,43", "414243"). Nothing when a digit is left over or any other character occurs.
std::optional<QByteArray> ParseHexBytes(const QString& text);

}  // namespace keldrin
