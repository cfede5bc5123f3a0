#pragma once

// Reading a whole input file (firmware, checksum file) so that a file that exists but cannot be
// read is an error, never an empty file.

#include <QByteArray>
#include <QString>

#include "platform/Errors.h"

namespace keldrin {

// A file that is there but could not be opened or read.
KELDRIN_DECLARE_ERROR(EFOpenError);

// "Cannot open <path>.\r\n(<system message>.)"
QString FileOpenErrorText(const QString& path, int error);

// The whole content of a file. Raises EFOpenError when the file cannot be opened or a read
// fails part way (permission, I/O error, a folder in its place).
QByteArray ReadWholeFile(const QString& path);

// The same without raising: false and the error text when the file cannot be read whole.
bool TryReadWholeFile(const QString& path, QByteArray& content, QString* error);

}  // namespace keldrin
