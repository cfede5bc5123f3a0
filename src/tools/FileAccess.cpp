#include "tools/FileAccess.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

namespace keldrin {

bool CanOpenFile(const QString& fileName, bool& readOnly) {
    readOnly = false;
    const QByteArray name = QFile::encodeName(fileName);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    // A shared lock is refused only while someone holds an exclusive one.
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    flock(fd, LOCK_UN);
    ::close(fd);
    readOnly = ::access(name.constData(), W_OK) != 0;
    errno = 0;
    return true;
}

}  // namespace keldrin
