#include "logging/LogFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Seams.h"

namespace keldrin {

void AppendLogLine(const QString& fileName, const QByteArray& line) {
    if (fileName.isEmpty()) return;
    QFile f(fileName);
    bool ok = f.open(QIODevice::WriteOnly | QIODevice::Append);
    if (ok) {
        ok = f.write(line) == line.size() && f.write("\r\n", 2) == 2;
        ok = f.flush() && ok;
        f.close();
        ok = ok && f.error() == QFileDevice::NoError;
    }
    if (!ok) platform::ErrorBox(QStringLiteral("Error writing Log File"));
}

void WriteWholeFile(const QString& fileName, const QByteArray& text) {
    if (fileName.isEmpty()) {
        platform::ErrorBox(QStringLiteral("Error writing Log File: no file name"));
        return;
    }
    // Where the old file cannot be replaced (a folder without write permission) say so, then
    // write into the file itself as the last resort.
    const QFileInfo info(fileName);
    if (info.exists() && !QFileInfo(info.absolutePath()).isWritable())
        platform::ErrorBox(QStringLiteral("can not delete Log File: ") + fileName);
    QSaveFile f(fileName);
    f.setDirectWriteFallback(true);
    bool ok = f.open(QIODevice::WriteOnly);
    if (ok) {
        ok = f.write(text) == text.size() && f.write("\r\n", 2) == 2;
        ok = ok ? f.commit() : (f.cancelWriting(), false);
    }
    if (!ok) platform::ErrorBox(QStringLiteral("Error writing Log File"));
}

QString FileTimeStamp(bool withSeconds, bool withMilliseconds, const QDateTime& moment) {
    const QDateTime m = moment.isValid() ? moment : QDateTime::currentDateTime();
    const QDate d = m.date();
    const QTime t = m.time();
    QString out = QString::asprintf("%02d-%02d-%d_%02d-%02d", d.day(), d.month(), d.year(),
                                    t.hour(), t.minute());
    if (withSeconds) out += QString::asprintf("-%02d", t.second());
    if (withMilliseconds) out += QString::asprintf("-%03d", t.msec());
    return out;
}

namespace {
QString clockOf(const QString& separator, bool withMinutes, bool withSeconds, int minute,
                int second) {
    QString out;
    if (withMinutes) out += QString::asprintf("%02d", minute) + separator;
    if (withSeconds) out += QString::asprintf("%02d", second);
    return out;
}
}  // namespace

QString ClockText(const QString& separator, bool withMinutes, bool withSeconds,
                  const QDateTime& moment) {
    const QTime t = (moment.isValid() ? moment : QDateTime::currentDateTime()).time();
    return clockOf(separator, withMinutes, withSeconds, t.minute(), t.second());
}

QString ClockText(const QString& separator, bool withMinutes, bool withSeconds, qint64 durationMs) {
    const qint64 seconds = (durationMs < 0 ? -durationMs : durationMs) / 1000;
    return clockOf(separator, withMinutes, withSeconds, int((seconds / 60) % 60),
                   int(seconds % 60));
}

QString RxCaptureFileName(const QString& title, const QDateTime& moment) {
    return platform::programFolder() + QLatin1Char('/') + title + QLatin1Char(' ') +
           FileTimeStamp(true, false, moment) + QStringLiteral(".log");
}

QString TrafficLogFileNameFor(const QString& title) {
    return platform::programFolder() + QLatin1Char('/') + title + QStringLiteral(" traffic.log");
}

}  // namespace keldrin
