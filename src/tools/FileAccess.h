#pragma once

#include <QString>

#include "platform/Errors.h"

namespace keldrin {

// A file that could not be opened: "Cannot open <name>.\r\n(<system message>.)".
KELDRIN_DECLARE_ERROR(EFOpenError);

// False when the file cannot be opened for reading, or when another program holds it
// exclusively (an exclusive flock on it); errno then tells why. Otherwise true, and `readOnly`
// tells whether it cannot also be opened for writing.
bool CanOpenFile(const QString& fileName, bool& readOnly);

// The system's message text for an errno ("No such file or directory").
QString SystemMessage(int error);

}  // namespace keldrin
