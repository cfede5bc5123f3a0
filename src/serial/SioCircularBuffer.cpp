#include "serial/SioCircularBuffer.h"

#include <cstring>

namespace keldrin::serial {

TSioCircularBuffer::TSioCircularBuffer(std::size_t size)
    : data_(new std::uint8_t[size > 0 ? size : 1]), size_(size) {}

std::size_t TSioCircularBuffer::UsedCount() const {
    if (full_) return size_;
    return write_ >= read_ ? write_ - read_ : write_ + size_ - read_;
}

std::size_t TSioCircularBuffer::ContiguousReadable() const {
    if (full_ || write_ < read_) return size_ - read_;
    return write_ - read_;
}

bool TSioCircularBuffer::Append(const void* bytes, std::size_t n) {
    if (n < 1 || n > FreeCount()) return false;
    const auto* src = static_cast<const std::uint8_t*>(bytes);
    const std::size_t first = n < size_ - write_ ? n : size_ - write_;
    std::memcpy(data_.get() + write_, src, first);
    if (n > first) std::memcpy(data_.get(), src + first, n - first);
    write_ += n;  // n <= size, so one subtraction wraps it (cheaper than a division per byte)
    if (write_ >= size_) write_ -= size_;
    if (write_ == read_) full_ = true;
    return true;
}

bool TSioCircularBuffer::Consume(std::size_t n) {
    if (UsedCount() < n) return false;
    if (n == 0) return true;
    read_ += n;
    if (read_ >= size_) read_ -= size_;
    full_ = false;
    return true;
}

void TSioCircularBuffer::Clear() {
    read_ = 0;
    write_ = 0;
    full_ = false;
}

}  // namespace keldrin::serial
