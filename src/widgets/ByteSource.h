#pragma once

// The bytes a hex view shows. A regular file is mapped read-only and private, so opening it costs
// the same at any size and only the pages looked at are read. A file may shrink while it is
// shown: the size is taken again before every read, and the read itself runs under a guard that
// turns the bus error of a page past the new end into a short read instead of a crash.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace keldrin {

class ByteSource {
  public:
    // Files that cannot be mapped (pipes, devices, /proc) are read into memory up to this size.
    static constexpr std::int64_t kUnmappedLimit = 64 * 1024 * 1024;

    // The file's bytes, or nullptr with `error` set to the errno of the failure.
    static std::shared_ptr<ByteSource> openFile(const QString& path, int* error);
    static std::shared_ptr<ByteSource> fromBytes(const QByteArray& bytes);

    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // The bytes there are now: for a mapped file the smaller of the mapped length and the file's
    // current length.
    std::int64_t size() const;
    bool isMapped() const { return map_ != nullptr; }

    // Copies up to `n` bytes from `offset` for display; returns how many were copied (fewer
    // at the end, or when the file shrank under the read).
    std::int64_t read(std::int64_t offset, char* dst, std::int64_t n) const;
    // Copies for a pass over the whole file (a search): read from the file rather than through
    // the mapping, so the pass does not fill the program's resident memory with the file.
    std::int64_t scan(std::int64_t offset, char* dst, std::int64_t n) const;

  private:
    ByteSource() = default;

    int fd_ = -1;
    const char* map_ = nullptr;
    std::int64_t mapLength_ = 0;
    QByteArray bytes_;  // when not mapped
};

// memcpy from a file mapping that returns false instead of dying when a page of the source is
// gone (the file was cut short under the mapping). Safe on any thread.
bool CopyFromMapping(void* dst, const void* src, std::size_t n);

}  // namespace keldrin

#include <atomic>

namespace keldrin {

// What a search found.
enum : std::int64_t { kNotFound = -1, kSearchCancelled = -2 };

// First occurrence of `pattern` at or after `from`, then from the start up to `from` (the search
// wraps once). Reads through `scan` in slices, so it suits a worker thread: it stops with
// kSearchCancelled soon after `cancel` is set and keeps `progress` (0 to 1000) up to date.
std::int64_t FindBytes(const ByteSource& source, const QByteArray& pattern, std::int64_t from,
                       const std::atomic<bool>& cancel, std::atomic<int>* progress = nullptr);

}  // namespace keldrin
