// The simulated device: a small bootloader that takes commands ended by CR and Intel HEX records
// (as text after ":" or as raw bytes after "@"), keeps the image it was sent and answers each
// message. Pure logic: bytes in, answers out; the pseudo-terminal lives in main.cpp.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace devsim {

// Faults that change what the device answers; 0 / false means the fault is off.
// Messages and records are counted from 1 since the device started.
struct AnswerFaults {
    long silentFrom = 0;         // no answer from this message on
    long errRecord = 0;          // this record answers ERR and is not applied
    long lowercaseAt = 0;        // the answer to this message goes out in lower case, once
    bool checksumStall = false;  // "C" answers "CHECKSUM" alone, then the device falls silent
};

class Bootloader {
  public:
    explicit Bootloader(AnswerFaults faults = {});

    // Consumes received bytes; appends one entry per answer to send, in order.
    void feed(const char* data, std::size_t size, std::vector<std::string>& answers);

    // The 16-bit sum of the image: every address written since the last erase counted once,
    // with the value last written there, as a real device's memory would sum up.
    std::uint16_t checksum() const { return sum_; }

    // The most image the device holds, like the flash of a real one; a data record that would
    // need more is refused, so a runaway sender cannot exhaust memory.
    static constexpr std::size_t kMaxImagePages = 16384;  // 64 MiB

    // The image from its lowest to its highest written address, gaps filled with 0xFF.
    // Fails (returns false, says why) when the span is too large to be a sensible file.
    bool image(std::string& bytes, std::string& error) const;

    long messageCount() const { return messages_; }

  private:
    enum class State { Idle, Command, TextRecord, BinaryRecord };

    void idleByte(unsigned char c, std::vector<std::string>& answers);
    void commandByte(unsigned char c, std::vector<std::string>& answers);
    void textRecordByte(unsigned char c, std::vector<std::string>& answers);
    void binaryRecordByte(unsigned char c, std::vector<std::string>& answers);

    // A complete record: count, address (2), type, data, checksum.
    bool applyRecord(const std::vector<std::uint8_t>& record);
    void finishRecord(const std::vector<std::uint8_t>& record, std::vector<std::string>& answers);
    std::string runCommand(const std::string& command);
    void erase();
    void answer(std::string text, std::vector<std::string>& answers);

    AnswerFaults faults_;
    State state_ = State::Idle;
    std::string command_;
    bool commandOverflow_ = false;
    std::string hexDigits_;             // a text record's digits after ":"
    std::vector<std::uint8_t> record_;  // a binary record's bytes after "@"

    // Image in 4 KiB pages; a page keeps which of its bytes were written.
    struct Page {
        std::uint8_t bytes[4096];
        std::bitset<4096> written;
    };
    std::map<std::uint32_t, Page> pages_;
    std::uint16_t sum_ = 0;
    std::uint32_t base_ = 0;  // from the last extended address record
    bool segmented_ = false;  // base came from a segment record: offsets wrap at 64 KiB

    long messages_ = 0;
    long records_ = 0;
    bool stalled_ = false;
};

}  // namespace devsim
