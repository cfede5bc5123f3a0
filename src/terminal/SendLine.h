#pragma once

// The escape language of the send field, apart from the port: what each character of a trimmed
// send line puts on the wire. "!" is CR, "^" is ESC, "~" a 200 ms pause, "/" ends the line, the
// sync markers 0x80 and 0x81 send "=" and ENQ; other control and non-ASCII characters are
// skipped. In binary mode a hex digit sends the byte of the digit pair at the pair cursor and
// ":" goes out as "@".

#include <QByteArray>
#include <vector>

namespace keldrin {

struct SendStep {
    enum class Kind : unsigned char {
        Skip,      // nothing is written
        Escape,    // CR or ESC
        Pause,     // 200 ms
        Marker,    // "=" or ENQ; the sending list and the send field are emptied afterwards
        Data,      // a character, or in binary mode the byte of a digit pair; counted as sent
        LastPair,  // binary mode: the pair that reaches the end of the line; not counted, the
                   // line ends after it
    };
    Kind kind = Kind::Skip;
    char byte = 0;
};

// One step per character of `line` up to the one that ends it ("/" is no step, the last pair
// is the last step).
std::vector<SendStep> TranslateSendLine(const QByteArray& line, bool binary);

}  // namespace keldrin
