#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace keldrin {

// Appends the line and CR LF to the file, creating it when missing; the file is opened and
// closed around the write. An empty name does nothing; a failure shows "Error writing Log File".
void AppendLogLine(const QString& fileName, const QByteArray& line);

// Replaces the file's content by the text and CR LF. The new content is written beside the file
// and renamed over it, so a crash or a full disk never leaves a half-written file where a
// complete old one stood. Failures show their error box and leave the old file as it was.
void WriteWholeFile(const QString& fileName, const QByteArray& text);

// DD-MM-YYYY_hh-nn, then "-ss" and "-zzz" when asked. An invalid moment means now.
QString FileTimeStamp(bool withSeconds, bool withMilliseconds,
                      const QDateTime& moment = QDateTime());

// Minutes and seconds of a moment's time of day, joined by the separator ("01:05"). An invalid
// moment means now.
QString ClockText(const QString& separator, bool withMinutes, bool withSeconds,
                  const QDateTime& moment = QDateTime());
// The same for a duration in milliseconds (0 is "00:00"); whole hours are dropped, as on a
// clock face.
QString ClockText(const QString& separator, bool withMinutes, bool withSeconds, qint64 durationMs);

// Name of the receive capture file for the title and moment:
// "<program folder>/<title> <DD-MM-YYYY_hh-nn-ss>.log".
QString RxCaptureFileName(const QString& title, const QDateTime& moment = QDateTime());
// Name of the traffic log: "<program folder>/<title> traffic.log".
QString TrafficLogFileNameFor(const QString& title);

}  // namespace keldrin
