// The handling of a firmware row's files on any content: the file cut into the lines that are
// sent, each line through the send line's translation (binary for File_BINary rows) and through
// the Intel HEX record math, the expected checksum taken from the ".chk" text and the checksum
// record built from it. Nothing may crash; a record the math completes sums to zero; a
// well-formed record comes back as it was.

#include <QByteArrayList>
#include <cstdint>

#include "FuzzKit.h"
#include "runner/Runner.h"
#include "terminal/SendLine.h"
#include "terminal/TextCodec.h"
#include "tools/HexRecord.h"

using namespace keldrin;
using fuzzkit::bytes;

namespace {

bool isHex(const QByteArray& t) {
    for (char c : t)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

unsigned byteSum(const QByteArray& digits) {
    unsigned sum = 0;
    for (qsizetype i = 0; i + 1 < digits.size(); i += 2)
        sum += unsigned(digits.mid(i, 2).toUInt(nullptr, 16));
    return sum & 0xFF;
}

// A completed record whose digits are all hex and pair up sums to 0 modulo 256.
void checkCompleted(const QByteArray& record) {
    const QByteArray done = CompleteHexRecord(record);
    FUZZ_CHECK(done.startsWith(':'));
    const QByteArray digits = done.mid(1);
    FUZZ_CHECK(digits.size() >= 2);
    if (isHex(digits) && digits.size() % 2 == 0) FUZZ_CHECK(byteSum(digits) == 0);
}

// A record made from the fuzzer's bytes, with its checksum worked out here, comes back unchanged;
// with its checksum left out or wrong, it comes back with the right one.
void checkWellFormed(FuzzedDataProvider& in) {
    const std::uint8_t count = in.ConsumeIntegralInRange<std::uint8_t>(0, 32);
    QByteArray body;
    body += char(count);
    body += char(in.ConsumeIntegral<std::uint8_t>());
    body += char(in.ConsumeIntegral<std::uint8_t>());
    body += char(in.ConsumeIntegralInRange<std::uint8_t>(0, 5));
    for (int i = 0; i < count; ++i) body += char(in.ConsumeIntegral<std::uint8_t>());
    unsigned sum = 0;
    for (char b : body) sum += static_cast<unsigned char>(b);
    const char checksum = char((0x100 - (sum & 0xFF)) & 0xFF);
    const QByteArray record = ':' + (body + checksum).toHex().toUpper();
    FUZZ_CHECK(CompleteHexRecord(record) == record);
    FUZZ_CHECK(CompleteHexRecord(':' + body.toHex()) == record);
    FUZZ_CHECK(CompleteHexRecord(':' + (body + char(checksum + 1)).toHex()) == record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool binaryRow = in.ConsumeBool();  // File_BINary rather than File
    const QByteArray chkText = bytes(in.ConsumeRandomLengthString(64));
    checkWellFormed(in);
    const QByteArray content = bytes(in.ConsumeRemainingBytesAsString());

    const QList<QByteArray> lines = Runner::firmwareLines(content);
    FUZZ_CHECK(lines.isEmpty() == Trim(content).isEmpty());
    for (const QByteArray& line : lines) {
        FUZZ_CHECK(Trim(line) == line);
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'));
        const std::vector<SendStep> steps = TranslateSendLine(line, binaryRow);
        FUZZ_CHECK(qsizetype(steps.size()) <= line.size());
        checkCompleted(line);
        FUZZ_CHECK(HexRecordChecksum(line).size() == 2);
    }

    const QByteArray expected = Runner::checksumFromFileText(chkText);
    FUZZ_CHECK(expected.size() <= 4);
    // The record an Action_CS row sends.
    const QByteArray csRecord = CompleteHexRecord(":0300000312" + expected);
    FUZZ_CHECK(csRecord.startsWith(":0300000312"));
    if (expected.size() == 4 && isHex(expected)) {
        FUZZ_CHECK(csRecord.size() == 17);
        FUZZ_CHECK(csRecord.left(15) == ":0300000312" + expected.toUpper());
        FUZZ_CHECK(byteSum(csRecord.mid(1)) == 0);
    }
    return 0;
}
