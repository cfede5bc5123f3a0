#include "widgets/ByteSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

namespace keldrin {

namespace {

// The bus-error guard: a thread about to copy from a mapping leaves its jump point here; the
// handler jumps back to it. A bus error anywhere else goes to the handler that was there before.
// Volatile, so that the compiler keeps the store before the copy (memcpy cannot see it).
thread_local sigjmp_buf* volatile tlsGuard = nullptr;
struct sigaction previousBusAction {};

void onBusError(int sig, siginfo_t* info, void* context) {
    if (sigjmp_buf* guard = tlsGuard) {
        tlsGuard = nullptr;
        siglongjmp(*guard, 1);
    }
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        if (previousBusAction.sa_sigaction) {
            previousBusAction.sa_sigaction(sig, info, context);
            return;
        }
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(sig);
        return;
    }
    // Not ours: die of it as the program would have without the guard.
    signal(SIGBUS, SIG_DFL);
    raise(SIGBUS);
}

void installBusGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousBusAction);
    });
}

}  // namespace

__attribute__((noinline)) bool CopyFromMapping(void* dst, const void* src, std::size_t n) {
    installBusGuard();
    sigjmp_buf guard;
    if (sigsetjmp(guard, 1) != 0) return false;
    tlsGuard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(dst, src, n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tlsGuard = nullptr;
    return true;
}

std::shared_ptr<ByteSource> ByteSource::openFile(const QString& path, int* error) {
    *error = 0;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a named pipe without a writer does not hang the window.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<ByteSource> source(new ByteSource);
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        void* map = mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            // Jumps through a large file read what they show, not the pages around it.
            madvise(map, std::size_t(st.st_size), MADV_RANDOM);
            source->fd_ = fd;
            source->map_ = static_cast<const char*>(map);
            source->mapLength_ = st.st_size;
            return source;
        }
    }
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() < kUnmappedLimit) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && bytes.isEmpty() && errno != EAGAIN) {
            *error = errno;
            ::close(fd);
            return nullptr;
        }
        if (got <= 0) break;
        bytes.append(chunk, int(std::min<std::int64_t>(got, kUnmappedLimit - bytes.size())));
    }
    ::close(fd);
    source->bytes_ = bytes;
    return source;
}

std::shared_ptr<ByteSource> ByteSource::fromBytes(const QByteArray& bytes) {
    std::shared_ptr<ByteSource> source(new ByteSource);
    source->bytes_ = bytes;
    return source;
}

ByteSource::~ByteSource() {
    if (map_) munmap(const_cast<char*>(map_), std::size_t(mapLength_));
    if (fd_ >= 0) ::close(fd_);
}

std::int64_t ByteSource::size() const {
    if (!map_) return bytes_.size();
    struct stat st {};
    if (fstat(fd_, &st) != 0) return 0;
    return std::min<std::int64_t>(mapLength_, st.st_size);
}

std::int64_t ByteSource::read(std::int64_t offset, char* dst, std::int64_t n) const {
    const std::int64_t total = size();
    if (offset < 0 || offset >= total || n <= 0) return 0;
    const std::int64_t count = std::min(n, total - offset);
    if (!map_) {
        std::memcpy(dst, bytes_.constData() + offset, std::size_t(count));
        return count;
    }
    if (CopyFromMapping(dst, map_ + offset, std::size_t(count))) return count;
    // The file was cut between the size check and the copy; the next draw sees the new size.
    return 0;
}

std::int64_t ByteSource::scan(std::int64_t offset, char* dst, std::int64_t n) const {
    if (!map_) return read(offset, dst, n);
    const std::int64_t end = std::min(offset + n, mapLength_);
    std::int64_t done = 0;
    while (offset + done < end) {
        const ssize_t got = pread(fd_, dst + done, std::size_t(end - offset - done), offset + done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

}  // namespace keldrin

namespace keldrin {

namespace {

constexpr std::int64_t kSlice = 4 * 1024 * 1024;

// First match in [begin, end) (a match may not start at or past `end`), or kNotFound.
std::int64_t findIn(const ByteSource& source, const QByteArray& pattern, std::int64_t begin,
                    std::int64_t end, std::int64_t total, std::int64_t* scanned,
                    const std::atomic<bool>& cancel, std::atomic<int>* progress) {
    const std::int64_t len = pattern.size();
    std::vector<char> buffer(std::size_t(kSlice + len));
    for (std::int64_t at = begin; at < end; at += kSlice) {
        if (cancel.load(std::memory_order_relaxed)) return kSearchCancelled;
        const std::int64_t want = std::min(kSlice, end - at) + len - 1;
        const std::int64_t got = source.scan(at, buffer.data(), want);
        if (got < len) return kNotFound;  // the end of the file (it may have shrunk)
        const void* hit =
            memmem(buffer.data(), std::size_t(got), pattern.constData(), std::size_t(len));
        if (hit) {
            const std::int64_t found = at + (static_cast<const char*>(hit) - buffer.data());
            if (found < end) return found;
        }
        *scanned += std::min(kSlice, end - at);
        if (progress && total > 0) progress->store(int(*scanned * 1000 / total));
    }
    return kNotFound;
}

}  // namespace

std::int64_t FindBytes(const ByteSource& source, const QByteArray& pattern, std::int64_t from,
                       const std::atomic<bool>& cancel, std::atomic<int>* progress) {
    if (pattern.isEmpty()) return kNotFound;
    const std::int64_t total = source.size();
    from = std::clamp<std::int64_t>(from, 0, total);
    std::int64_t scanned = 0;
    const std::int64_t first =
        findIn(source, pattern, from, total, total, &scanned, cancel, progress);
    if (first != kNotFound) return first;
    return findIn(source, pattern, 0, from, total, &scanned, cancel, progress);
}

}  // namespace keldrin
