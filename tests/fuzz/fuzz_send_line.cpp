// The send line's escape translator on any bytes: one step per character up to the end of the
// line, each as the escape table says; in binary mode a record line ("@" prefix, then digit
// pairs) gives the bytes of its pairs.

#include <cstdint>

#include "FuzzKit.h"
#include "terminal/SendLine.h"
#include "terminal/TextCodec.h"

using namespace keldrin;
using Kind = SendStep::Kind;

namespace {

bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

QByteArray wireBytes(const std::vector<SendStep>& steps) {
    QByteArray out;
    for (const SendStep& s : steps)
        if (s.kind != Kind::Skip && s.kind != Kind::Pause) out += s.byte;
    return out;
}

void checkSteps(const QByteArray& line, bool binary) {
    const std::vector<SendStep> steps = TranslateSendLine(line, binary);
    const qsizetype slash = line.indexOf('/');
    const qsizetype end = slash < 0 ? line.size() : slash;
    FUZZ_CHECK(qsizetype(steps.size()) <= end);
    if (!binary) FUZZ_CHECK(qsizetype(steps.size()) == end);
    for (size_t i = 0; i < steps.size(); ++i) {
        const auto ch = static_cast<unsigned char>(line[qsizetype(i)]);
        const SendStep& s = steps[i];
        FUZZ_CHECK(s.kind != Kind::LastPair || (binary && i + 1 == steps.size()));
        switch (ch) {
            case '!':
                FUZZ_CHECK(s.kind == Kind::Escape && s.byte == '\r');
                continue;
            case '^':
                FUZZ_CHECK(s.kind == Kind::Escape && s.byte == '\x1b');
                continue;
            case '~':
                FUZZ_CHECK(s.kind == Kind::Pause);
                continue;
            case 0x80:
                FUZZ_CHECK(s.kind == Kind::Marker && s.byte == '=');
                continue;
            case 0x81:
                FUZZ_CHECK(s.kind == Kind::Marker && s.byte == '\x05');
                continue;
            default:
                break;
        }
        if (ch < 32 || ch > 127) {
            FUZZ_CHECK(s.kind == Kind::Skip);
        } else if (!binary) {
            FUZZ_CHECK(s.kind == Kind::Data && s.byte == char(ch));
        } else if (!isHexDigit(ch)) {
            FUZZ_CHECK(s.kind == Kind::Data && s.byte == (ch == ':' ? '@' : char(ch)));
        } else {
            FUZZ_CHECK(s.kind == Kind::Data || s.kind == Kind::LastPair);
        }
    }
}

// A line in the form binary mode serves: characters that are no hex digits (and no escapes),
// then hex digits only.
void checkRecordLine(const QByteArray& prefix, const QByteArray& digits) {
    QByteArray cleanPrefix;
    for (char c : prefix) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u <= 127 && !isHexDigit(u) && !QByteArray("!^~/").contains(c))
            cleanPrefix += c;
    }
    QByteArray cleanDigits;
    for (char c : digits)
        if (isHexDigit(static_cast<unsigned char>(c))) cleanDigits += c;
    const QByteArray line = cleanPrefix + cleanDigits;

    QByteArray expected = cleanPrefix;
    expected.replace(':', '@');
    // Whole pairs; an odd last digit is not sent, except a lone digit, which is its own pair.
    if (cleanDigits.size() == 1)
        expected += char(QByteArray("0" + cleanDigits).toInt(nullptr, 16));
    else
        expected += QByteArray::fromHex(cleanDigits.left(cleanDigits.size() & ~qsizetype(1)));
    FUZZ_CHECK(wireBytes(TranslateSendLine(line, true)) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QByteArray prefix = fuzzkit::bytes(in.ConsumeRandomLengthString(16));
    const QByteArray line = fuzzkit::bytes(in.ConsumeRemainingBytesAsString());
    checkSteps(line, false);
    checkSteps(line, true);
    checkSteps(Trim(line), true);
    checkRecordLine(prefix, line);
    return 0;
}
