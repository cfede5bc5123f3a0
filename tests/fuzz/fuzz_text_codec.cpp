// The text codec helpers on any bytes: nothing may crash, and each helper keeps its contract.

#include <QByteArrayList>
#include <climits>
#include <cstdint>

#include "FuzzKit.h"
#include "platform/Errors.h"
#include "terminal/TextCodec.h"

using namespace keldrin;
using fuzzkit::bytes;

namespace {

bool blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

const QByteArray kHex = "0123456789ABCDEFabcdef";
const QByteArray kDelimiters = ",!=-\"()*+:;<>?[\\]^{}|";

void checkTrim(const QByteArray& text) {
    const QByteArray t = Trim(text);
    FUZZ_CHECK(t.isEmpty() || (!blank(t.front()) && !blank(t.back())));
    FUZZ_CHECK(text.contains(t));
    FUZZ_CHECK(Trim(t) == t);
}

void checkHex(const QByteArray& text) {
    bool allHex = true;
    for (char c : text) allHex = allHex && kHex.contains(c);
    QByteArray significant = text.toUpper();
    while (significant.startsWith('0')) significant.remove(0, 1);
    try {
        const std::int64_t v = HexToValue(text);
        if (!allHex) {
            FUZZ_CHECK(v == 0);
        } else {
            FUZZ_CHECK(v >= 0);
            FUZZ_CHECK(ValueToHex(v, 0) == significant);
        }
    } catch (const EIntOverflow&) {
        // 16 significant digits from 7FFFFFFFFFFFFFFF up, or more than 16.
        FUZZ_CHECK(allHex && (significant.size() > 16 ||
                              (significant.size() == 16 && significant >= "7FFFFFFFFFFFFFFF")));
    }
}

void checkValueToHex(std::int64_t value, int width) {
    const QByteArray h = ValueToHex(value, width);
    FUZZ_CHECK(h.size() >= width);
    for (char c : h) FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    if (value <= 0) {
        FUZZ_CHECK(h == QByteArray(qMax(width, 0), '0'));
    } else if (value < INT64_MAX) {
        FUZZ_CHECK(HexToValue(h) == value);
    }
}

void checkControlChars(const QByteArray& text) {
    const QByteArray s = ControlCharsToSpaces(text);
    FUZZ_CHECK(s.size() == text.size());
    bool anyVisible = false;
    for (char c : text) anyVisible = anyVisible || !blank(c);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const auto was = static_cast<unsigned char>(text[i]);
        const bool changed = anyVisible ? was < 32 : (i == 0 && was < 32);
        FUZZ_CHECK(s[i] == (changed ? ' ' : text[i]));
    }
}

void checkSplit(const QByteArray& text, bool keepApostrophe) {
    const QByteArray out = SplitAtDelimiters(text, keepApostrophe);
    FUZZ_CHECK(out.isEmpty() || out.endsWith("\r\n"));
    const QByteArrayList lines = out.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        FUZZ_CHECK(line.endsWith('\r'));
        const QByteArray token = line.chopped(1);
        FUZZ_CHECK(!token.isEmpty() && Trim(token) == token);
        for (char c : token) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
            FUZZ_CHECK(!kDelimiters.contains(c));
            if (!keepApostrophe) FUZZ_CHECK(c != '\'');
        }
    }
}

void checkRemoveAll(const QByteArray& pattern, const QByteArray& text) {
    const QByteArray r = RemoveAll(pattern, text);
    if (pattern.isEmpty()) {
        FUZZ_CHECK(r == text);
        return;
    }
    FUZZ_CHECK(r.size() <= text.size());
    FUZZ_CHECK((text.size() - r.size()) % pattern.size() == 0);
}

void checkSets(const QByteArray& text, const QByteArray& allowed) {
    bool expected = true;
    for (char c : text) expected = expected && allowed.contains(c);
    FUZZ_CHECK(AllCharsIn(text, allowed) == expected);
    FUZZ_CHECK(AllCharsInSet(text, CharSetOf(text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange<int>(-4, 40);
    const std::int64_t value = in.ConsumeIntegral<std::int64_t>();
    const bool keepApostrophe = in.ConsumeBool();
    const QByteArray pattern = bytes(in.ConsumeRandomLengthString(8));
    const QByteArray text = bytes(in.ConsumeRemainingBytesAsString());

    checkTrim(text);
    checkHex(text);
    checkHex(pattern);
    checkValueToHex(value, width);
    checkControlChars(text);
    checkSplit(text, keepApostrophe);
    checkRemoveAll(pattern, text);
    checkSets(text, pattern);
    return 0;
}
