// keldrin-devsim's message parser on any byte stream: nothing may crash, every answer is one
// the device knows, and how the stream is cut into reads changes nothing.

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "Bootloader.h"
#include "FuzzKit.h"

namespace {

bool knownAnswer(std::string a) {
    for (char& c : a) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (a == "OK\r\n" || a == "ERR\r\n" || a == "SYNC\r\n" || a == "KELDRIN-SIM 1.0\r\nOK\r\n" ||
        a == "CHECKSUM")
        return true;
    if (a.size() != 15 || a.compare(0, 9, "CHECKSUM:") != 0 || a.compare(13, 2, "\r\n") != 0)
        return false;
    for (int i = 9; i < 13; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(a[size_t(i)]))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    devsim::AnswerFaults faults;
    faults.silentFrom = in.ConsumeIntegralInRange<long>(0, 40);
    faults.errRecord = in.ConsumeIntegralInRange<long>(0, 10);
    faults.lowercaseAt = in.ConsumeIntegralInRange<long>(0, 10);
    faults.checksumStall = in.ConsumeBool();
    const std::size_t cut = in.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string stream = in.ConsumeRemainingBytesAsString();

    devsim::Bootloader whole(faults);
    std::vector<std::string> wholeAnswers;
    whole.feed(stream.data(), stream.size(), wholeAnswers);

    devsim::Bootloader pieces(faults);
    std::vector<std::string> pieceAnswers;
    for (std::size_t at = 0; at < stream.size(); at += cut)
        pieces.feed(stream.data() + at, std::min(cut, stream.size() - at), pieceAnswers);

    FUZZ_CHECK(wholeAnswers == pieceAnswers);
    FUZZ_CHECK(whole.checksum() == pieces.checksum());
    FUZZ_CHECK(whole.messageCount() == pieces.messageCount());
    FUZZ_CHECK(long(wholeAnswers.size()) <= whole.messageCount());
    for (const std::string& a : wholeAnswers) FUZZ_CHECK(knownAnswer(a));

    std::string image, error;
    if (whole.image(image, error)) {
        FUZZ_CHECK(image.size() <= 64u * 1024 * 1024);
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
