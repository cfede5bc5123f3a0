#include "tools/HexRecord.h"

#include <cstdint>

#include "terminal/TextCodec.h"

namespace keldrin {

namespace {

bool isAsciiLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

QByteArray withoutFillers(const QByteArray& text) {
    return Trim(RemoveAll("-", RemoveAll("_", text)));
}

}  // namespace

QByteArray LayOutPairs(const QByteArray& text, int pairs) {
    if (pairs <= 0) return QByteArray();
    const qsizetype length = 3 * qsizetype(pairs) - 1;
    QByteArray out;
    out.reserve(length);
    qsizetype next = 0;
    for (qsizetype pos = 0; pos < length; ++pos) {
        const bool separator = pos % 3 == 2;
        if (separator) {
            out += '-';
            if (next < text.size() && text[next] == '-') ++next;
            continue;
        }
        if (next >= text.size()) {
            out += ' ';
            continue;
        }
        const char c = text[next++];
        out += isAsciiLetterOrDigit(c) ? (c >= 'a' && c <= 'z' ? char(c - 32) : c) : ' ';
    }
    return out;
}

int DataPairsOf(const QByteArray& byteCountText) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(HexToValue(byteCountText))));
}

QByteArray HexRecordChecksum(const QByteArray& fieldsText,
                             const std::function<void()>& betweenSteps) {
    const QByteArray t = withoutFillers(fieldsText);
    unsigned sum = 0;
    for (qsizetype i = 0; i + 1 < t.size(); i += 2) {
        if (betweenSteps) betweenSteps();
        sum += static_cast<unsigned>(HexToValue(t.mid(i, 2)));
        if (betweenSteps) betweenSteps();
        sum %= 0x100;
    }
    return ValueToHex((0xFF - sum + 1) % 0x100, 2);
}

HexRecordFields SplitHexRecord(const QByteArray& record) {
    const QByteArray r = RemoveAll(":", record);
    HexRecordFields f;
    f.byteCount = LayOutPairs(r.mid(0, 2), 1);
    f.address = LayOutPairs(r.mid(2, 4), 2);
    f.recordType = LayOutPairs(r.mid(6, 2), 1);
    const int pairs = DataPairsOf(f.byteCount);
    if (pairs > 0) f.data = LayOutPairs(r.mid(8, 2 * qsizetype(pairs)), pairs);
    f.checksum = HexRecordChecksum(f.byteCount + f.address + f.recordType + f.data);
    return f;
}

QByteArray AssembleHexRecord(const HexRecordFields& f) {
    return ':' + withoutFillers(f.byteCount + f.address + f.recordType + f.data + f.checksum);
}

QByteArray CompleteHexRecord(const QByteArray& record) {
    return AssembleHexRecord(SplitHexRecord(record));
}

}  // namespace keldrin
