#include "Bootloader.h"

#include <cctype>
#include <cstring>

namespace devsim {

namespace {

const char kOk[] = "OK\r\n";
const char kErr[] = "ERR\r\n";

// A command longer than this is refused whole; keeps memory bounded on a noisy line.
const std::size_t kMaxCommand = 256;

// An image wider than this is refused instead of writing a huge file full of 0xFF.
const std::uint64_t kMaxImageSpan = 64ull * 1024 * 1024;

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string trimBlanks(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string hex4(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i) {
        s[i] = digits[value & 0xF];
        value >>= 4;
    }
    return s;
}

}  // namespace

Bootloader::Bootloader(AnswerFaults faults) : faults_(faults) {}

void Bootloader::feed(const char* data, std::size_t size, std::vector<std::string>& answers) {
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        switch (state_) {
            case State::Idle:
                idleByte(c, answers);
                break;
            case State::Command:
                commandByte(c, answers);
                break;
            case State::TextRecord:
                textRecordByte(c, answers);
                break;
            case State::BinaryRecord:
                binaryRecordByte(c, answers);
                break;
        }
    }
}

void Bootloader::idleByte(unsigned char c, std::vector<std::string>& answers) {
    switch (c) {
        case ':':
            hexDigits_.clear();
            state_ = State::TextRecord;
            break;
        case '@':
            record_.clear();
            state_ = State::BinaryRecord;
            break;
        case 0x3D:
        case 0x05:
            answer("SYNC\r\n", answers);
            break;
        case '\r':
        case '\n':
            // Line ends between messages (a terminal sending records line by line) are not
            // messages of their own.
            break;
        default:
            command_.assign(1, static_cast<char>(c));
            commandOverflow_ = false;
            state_ = State::Command;
            break;
    }
}

void Bootloader::commandByte(unsigned char c, std::vector<std::string>& answers) {
    if (c == '\r') {
        state_ = State::Idle;
        answer(commandOverflow_ ? kErr : runCommand(trimBlanks(command_)), answers);
        command_.clear();
        return;
    }
    if (c == '\n') return;
    if (command_.size() < kMaxCommand)
        command_.push_back(static_cast<char>(c));
    else
        commandOverflow_ = true;
}

void Bootloader::textRecordByte(unsigned char c, std::vector<std::string>& answers) {
    if (hexValue(c) < 0) {
        // The record broke off; refuse it and let the byte start whatever comes next, so a
        // resent record or a command after a cut line is still understood.
        state_ = State::Idle;
        answer(kErr, answers);
        idleByte(c, answers);
        return;
    }
    hexDigits_.push_back(static_cast<char>(c));
    if (hexDigits_.size() < 2) return;
    const std::size_t count = hexValue(hexDigits_[0]) * 16 + hexValue(hexDigits_[1]);
    if (hexDigits_.size() < 2 * (count + 5)) return;

    std::vector<std::uint8_t> record(count + 5);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(hexValue(hexDigits_[2 * i]) * 16 +
                                              hexValue(hexDigits_[2 * i + 1]));
    state_ = State::Idle;
    finishRecord(record, answers);
}

void Bootloader::binaryRecordByte(unsigned char c, std::vector<std::string>& answers) {
    record_.push_back(c);
    if (record_.size() < static_cast<std::size_t>(record_[0]) + 5) return;
    state_ = State::Idle;
    finishRecord(record_, answers);
}

void Bootloader::finishRecord(const std::vector<std::uint8_t>& record,
                              std::vector<std::string>& answers) {
    ++records_;
    const bool refused = faults_.errRecord != 0 && records_ == faults_.errRecord;
    answer(!refused && applyRecord(record) ? kOk : kErr, answers);
}

bool Bootloader::applyRecord(const std::vector<std::uint8_t>& record) {
    unsigned total = 0;
    for (std::uint8_t b : record) total += b;
    if ((total & 0xFF) != 0) return false;

    const std::size_t count = record[0];
    const std::uint32_t offset = (static_cast<std::uint32_t>(record[1]) << 8) | record[2];
    const std::uint8_t type = record[3];
    const std::uint8_t* data = record.data() + 4;

    switch (type) {
        case 0x00: {
            auto addressOf = [&](std::size_t i) -> std::uint32_t {
                return segmented_ ? base_ + ((offset + i) & 0xFFFF)
                                  : base_ + offset + static_cast<std::uint32_t>(i);
            };
            // Count the pages this record would add before touching any, so a refused record
            // leaves the image as it was.
            std::size_t newPages = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t page = addressOf(i) >> 12;
                if (pages_.count(page) == 0 && (i == 0 || (addressOf(i - 1) >> 12) != page))
                    ++newPages;
            }
            if (pages_.size() + newPages > kMaxImagePages) return false;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t address = addressOf(i);
                Page& page = pages_[address >> 12];
                const unsigned at = address & 0xFFF;
                // The sum is that of the memory: a byte written again replaces the old one.
                if (page.written.test(at)) sum_ = static_cast<std::uint16_t>(sum_ - page.bytes[at]);
                page.bytes[at] = data[i];
                page.written.set(at);
                sum_ = static_cast<std::uint16_t>(sum_ + data[i]);
            }
            return true;
        }
        case 0x01:
            if (count != 0) return false;
            // End of a file: the next file starts from address 0 again.
            base_ = 0;
            segmented_ = false;
            return true;
        case 0x02:
            if (count != 2) return false;
            base_ = ((static_cast<std::uint32_t>(data[0]) << 8) | data[1]) << 4;
            segmented_ = true;
            return true;
        case 0x03:
            // Three bytes 0x12, high, low: the checksum the image is expected to have.
            if (count == 3 && data[0] == 0x12)
                return ((static_cast<unsigned>(data[1]) << 8) | data[2]) == sum_;
            return count == 4;  // start segment address
        case 0x04:
            if (count != 2) return false;
            base_ = ((static_cast<std::uint32_t>(data[0]) << 8) | data[1]) << 16;
            segmented_ = false;
            return true;
        case 0x05:
            return count == 4;  // start linear address
        default:
            return false;
    }
}

std::string Bootloader::runCommand(const std::string& command) {
    if (command == "ID") return std::string("KELDRIN-SIM 1.0\r\n") + kOk;
    if (command == "E") {
        erase();
        return kOk;
    }
    if (command == "C") {
        if (faults_.checksumStall) return "CHECKSUM";
        return "CHECKSUM:" + hex4(sum_) + "\r\n";
    }
    return kErr;
}

void Bootloader::erase() {
    pages_.clear();
    sum_ = 0;
    base_ = 0;
    segmented_ = false;
}

void Bootloader::answer(std::string text, std::vector<std::string>& answers) {
    ++messages_;
    const bool silent = stalled_ || (faults_.silentFrom != 0 && messages_ >= faults_.silentFrom);
    if (faults_.checksumStall && text == "CHECKSUM") stalled_ = true;
    if (silent) return;
    if (messages_ == faults_.lowercaseAt)
        for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    answers.push_back(std::move(text));
}

bool Bootloader::image(std::string& bytes, std::string& error) const {
    bytes.clear();
    std::uint64_t low = 0, high = 0;  // [low, high)
    bool any = false;
    for (const auto& [index, page] : pages_) {
        for (unsigned i = 0; i < 4096; ++i) {
            if (!page.written.test(i)) continue;
            const std::uint64_t address = (static_cast<std::uint64_t>(index) << 12) + i;
            if (!any) low = address;
            any = true;
            high = address + 1;
        }
    }
    if (!any) return true;
    if (high - low > kMaxImageSpan) {
        error = "the image spans " + std::to_string(high - low) +
                " bytes, more than the 64 MiB this simulator writes";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(high - low), '\xFF');
    for (const auto& [index, page] : pages_) {
        for (unsigned i = 0; i < 4096; ++i) {
            if (!page.written.test(i)) continue;
            const std::uint64_t address = (static_cast<std::uint64_t>(index) << 12) + i;
            bytes[static_cast<std::size_t>(address - low)] = static_cast<char>(page.bytes[i]);
        }
    }
    return true;
}

}  // namespace devsim
