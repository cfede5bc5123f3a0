#include "logging/LogFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>

#include "platform/Seams.h"

namespace keldrin {

namespace {

// Writes all of `data` to the descriptor; false at the first failure.
bool writeAllTo(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// The whole content into a new file beside the target, renamed over it once complete.
bool replaceFile(const QByteArray& target, const QByteArray& content) {
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    ::fchmod(fd, 0644);
    bool ok = writeAllTo(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) ::unlink(temp.constData());
    return ok;
}

// Where no new file can be made beside the target: truncate it and write into it.
bool overwriteFile(const QByteArray& target, const QByteArray& content) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = writeAllTo(fd, content);
    return ::close(fd) == 0 && ok;
}

}  // namespace

void AppendLogLine(const QString& fileName, const QByteArray& line) {
    if (fileName.isEmpty()) return;
    // Opened and closed around every line, so other programs may read the file meanwhile.
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (ok) {
        ok = writeAllTo(fd, line + "\r\n");
        ok = ::close(fd) == 0 && ok;
    }
    if (!ok) platform::ErrorBox(QStringLiteral("Error writing Log File"));
}

void WriteWholeFile(const QString& fileName, const QByteArray& text) {
    if (fileName.isEmpty()) {
        platform::ErrorBox(QStringLiteral("Error writing Log File: no file name"));
        return;
    }
    const QByteArray target = QFile::encodeName(fileName);
    const QByteArray content = text + "\r\n";
    // A crash or a full disk never leaves a half-written summary where a complete one stood.
    if (replaceFile(target, content)) return;
    const QFileInfo info(fileName);
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    if (folderWritable) {
        platform::ErrorBox(QStringLiteral("Error writing Log File"));
        return;
    }
    // The old file cannot be replaced (a folder without write permission): say so, then write
    // into the file itself as the last resort.
    if (info.exists()) platform::ErrorBox(QStringLiteral("can not delete Log File: ") + fileName);
    if (!overwriteFile(target, content))
        platform::ErrorBox(QStringLiteral("Error writing Log File"));
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
