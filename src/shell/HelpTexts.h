#pragma once

// The texts of the Help menu and the About box, built from plain values so they can be checked
// byte for byte.

#include <QDateTime>
#include <QString>

#include "platform/VersionInfo.h"

namespace keldrin {

// The About box's version text: the numbers, the program file's size and its last-write time as
// "<short date> <long time>" of the current locale.
QString AboutVersionText(const platform::FixedFileVersion& version, qint64 fileSize,
                         const QString& dateTimeText);
QString FileTimeText(const QDateTime& lastWrite);

// The text of the box behind "Cancel".
QString ProgramAboutText(const platform::FixedFileVersion& version);

// The "Versions" history, 22 lines joined by CR LF.
QString VersionHistoryText();

}  // namespace keldrin
