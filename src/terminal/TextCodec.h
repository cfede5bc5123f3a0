#pragma once

// Conversions between plain text, hexadecimal digit text and values. Texts are 8-bit byte
// strings; positions and lengths count bytes. Every function is pure.

#include <QByteArray>
#include <bitset>
#include <cstdint>

namespace keldrin {

// A set over the 256 byte values.
using CharSet = std::bitset<256>;

// The text without its leading and trailing characters of code 0 to 32.
QByteArray Trim(const QByteArray& text);

// Value of a hexadecimal text in either letter case. A text holding any character that is not a
// hex digit gives 0, and so does the empty text. Throws EIntOverflow ("Integer overflow") when
// the value leaves the signed 64-bit range; 7FFFFFFFFFFFFFFE is the largest text accepted.
std::int64_t HexToValue(const QByteArray& text);

// Upper-case hex digits of a positive value, left-padded with "0" to `width`; never truncated.
// Zero and negative values give just the padding.
QByteArray ValueToHex(std::int64_t value, std::int32_t width);

// Characters below 32 become spaces. A text made only of characters 0 to 32 has only its first
// character changed (CR LF gives space LF).
QByteArray ControlCharsToSpaces(const QByteArray& text);

// The trimmed tokens of the text, each ended by a delimiter and followed by CR LF in the result.
// Text after the last delimiter is dropped; blank tokens give nothing. The apostrophe is a
// delimiter unless `keepApostrophe`.
QByteArray SplitAtDelimiters(const QByteArray& text, bool keepApostrophe);

// The text with every occurrence of `pattern` removed, scanning from the start; letters match
// regardless of case. An empty pattern leaves the text as it is.
QByteArray RemoveAll(const QByteArray& pattern, const QByteArray& text);

CharSet CharSetOf(const QByteArray& text);
// True when every character of the text is in the set (so true for the empty text).
bool AllCharsInSet(const QByteArray& text, const CharSet& set);
// True when every character of the text occurs in `allowed` (so true for the empty text).
bool AllCharsIn(const QByteArray& text, const QByteArray& allowed);

}  // namespace keldrin
