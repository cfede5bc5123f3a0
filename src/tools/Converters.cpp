#include "tools/Converters.h"

#include "terminal/TextCodec.h"

namespace keldrin {

QByteArray UpperCaseAscii(const QByteArray& text) {
    QByteArray out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return out;
}

HexToAsciiConversion::HexToAsciiConversion(const QByteArray& upperText) {
    const QByteArray split = SplitAtDelimiters(upperText, true);
    // Every token is followed by CR LF, so the last piece after the split is empty.
    const QList<QByteArray> pieces = split.split('\n');
    for (const QByteArray& piece : pieces) {
        QByteArray line = piece;
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) lines_ << line;
    }
}

void HexToAsciiConversion::step() {
    if (done()) return;
    const QByteArray token = Trim(lines_.at(next_));
    const std::int64_t value = HexToValue(token);  // may throw: this line stays as it was
    const char code = char(value % 256);
    QByteArray line = token + '\t';
    if (code != 0) {
        line += code;
        chars_ += code;
    }
    lines_[next_] = line;
    ++next_;
}

void HexToAsciiConversion::run() {
    while (!done()) step();
}

QByteArray AsciiToHexCodes(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() * 3 + 2);
    for (char c : text) {
        out += ValueToHex(static_cast<unsigned char>(c), 2);
        out += ',';
    }
    return out + "0!";
}

}  // namespace keldrin
