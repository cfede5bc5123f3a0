#pragma once

#include <QString>

// EFOpenError and FileOpenErrorText, which go with it.
#include "platform/FileRead.h"

namespace keldrin {

// False when the file cannot be opened for reading, or when another program holds it
// exclusively (an exclusive flock on it); errno then tells why. Otherwise true, and `readOnly`
// tells whether it cannot also be opened for writing.
bool CanOpenFile(const QString& fileName, bool& readOnly);

}  // namespace keldrin
