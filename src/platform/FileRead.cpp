#include "platform/FileRead.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace keldrin {

QString FileOpenErrorText(const QString& path, int error) {
    return QStringLiteral("Cannot open %1.\r\n(%2.)")
        .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

bool TryReadWholeFile(const QString& path, QByteArray& content, QString* error) {
    content.clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = FileOpenErrorText(path, errno);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            content.append(buf, int(n));
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(fd);
        content.clear();
        if (error) *error = FileOpenErrorText(path, e);
        return false;
    }
    ::close(fd);
    return true;
}

QByteArray ReadWholeFile(const QString& path) {
    QByteArray content;
    QString error;
    if (!TryReadWholeFile(path, content, &error)) throw EFOpenError(error.toStdString());
    return content;
}

}  // namespace keldrin
