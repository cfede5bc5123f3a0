#pragma once

// Fixed-size byte ring: the transmit queue between the window thread, which appends, and the
// write thread, which writes the contiguous blocks out and consumes them. Not locked itself; the
// core guards it with its TransmitLock.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace keldrin::serial {

class TSioCircularBuffer {
  public:
    explicit TSioCircularBuffer(std::size_t size);

    std::size_t Size() const { return size_; }
    std::size_t UsedCount() const;
    std::size_t FreeCount() const { return size_ - UsedCount(); }
    bool IsFull() const { return full_; }
    // Bytes that can be read from ReadPosition without wrapping.
    std::size_t ContiguousReadable() const;
    std::size_t ReadPosition() const { return read_; }
    const std::uint8_t* Data() const { return data_.get(); }

    // All or nothing: false, changing nothing, when n < 1 or n is more than the free count.
    bool Append(const void* bytes, std::size_t n);
    // False, changing nothing, when fewer than n bytes are held.
    bool Consume(std::size_t n);
    void Clear();

  private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_;
    std::size_t read_ = 0;
    std::size_t write_ = 0;
    bool full_ = false;
};

}  // namespace keldrin::serial
