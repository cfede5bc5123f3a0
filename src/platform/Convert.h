#pragma once

#include <QString>

namespace keldrin {

// A whole number in 32 bits written in decimal with an optional sign (blanks before it allowed),
// or in hexadecimal after "$" or "0x". Anything else, the empty text included, throws
// EConvertError "'<text>' is not a valid integer value".
int StrToInt(const QString& text);

}  // namespace keldrin
