#include "terminal/SendLine.h"

#include "terminal/TextCodec.h"

namespace keldrin {

namespace {

constexpr unsigned char kSyncMarkerEq = 0x80;   // sends "="
constexpr unsigned char kSyncMarkerEnq = 0x81;  // sends ENQ

bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::vector<SendStep> TranslateSendLine(const QByteArray& line, bool binary) {
    using Kind = SendStep::Kind;
    std::vector<SendStep> steps;
    steps.reserve(size_t(line.size()));
    const qsizetype len = line.size();
    // The pair cursor runs apart from the character position: it only moves on characters that
    // are sent as data, two at a time over hex digits.
    qsizetype c = 1;
    for (qsizetype p = 1; p <= len; ++p) {
        const auto ch = static_cast<unsigned char>(line.at(p - 1));
        if (ch == '!') {
            steps.push_back({Kind::Escape, '\r'});
        } else if (ch == '^') {
            steps.push_back({Kind::Escape, '\x1b'});
        } else if (ch == '~') {
            steps.push_back({Kind::Pause, 0});
        } else if (ch == '/') {
            break;
        } else if (ch == kSyncMarkerEq || ch == kSyncMarkerEnq) {
            steps.push_back({Kind::Marker, ch == kSyncMarkerEq ? '=' : '\x05'});
        } else if (ch < 32 || ch > 127) {
            steps.push_back({Kind::Skip, 0});
        } else if (!binary) {
            steps.push_back({Kind::Data, char(ch)});
        } else if (isHexDigit(ch)) {
            // Near the end the pair is one digit or none; a pair with a non-digit gives 0.
            const char byte = char(HexToValue(line.mid(c - 1, 2)) & 0xFF);
            c += 2;
            if (c >= len) {
                steps.push_back({Kind::LastPair, byte});
                break;
            }
            steps.push_back({Kind::Data, byte});
        } else {
            steps.push_back({Kind::Data, ch == ':' ? '@' : char(ch)});
            c += 1;
        }
    }
    return steps;
}

}  // namespace keldrin
