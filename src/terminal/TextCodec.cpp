#include "terminal/TextCodec.h"

#include "platform/Errors.h"

namespace keldrin {

namespace {

const QByteArray kHexDigits = QByteArrayLiteral("0123456789ABCDEF");

// Comma ! = - " ( ) * + : ; < > ? [ \ ] ^ { } |
const QByteArray kDelimiters = QByteArrayLiteral(",!=-\"()*+:;<>?[\\]^{}|");

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Upper case of a Latin-1 letter; every other byte as it is.
unsigned char foldCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}

}  // namespace

QByteArray Trim(const QByteArray& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first])) ++first;
    while (last > first && isBlank(text[last - 1])) --last;
    return text.mid(first, last - first);
}

std::int64_t HexToValue(const QByteArray& text) {
    QByteArray upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    if (!AllCharsIn(upper, kHexDigits)) return 0;

    std::int64_t value = 0;
    for (char c : upper) {
        // The position in the digit alphabet counts from 1 and is added before the 1 is taken
        // off again, so 7FFFFFFFFFFFFFFF already overflows in the intermediate sum.
        const std::int64_t position = kHexDigits.indexOf(c) + 1;
        if (__builtin_mul_overflow(value, std::int64_t{16}, &value) ||
            __builtin_add_overflow(value, position, &value)) {
            throw EIntOverflow("Integer overflow");
        }
        value -= 1;
    }
    return value;
}

QByteArray ValueToHex(std::int64_t value, std::int32_t width) {
    QByteArray digits;
    while (value > 0) {
        digits.prepend(kHexDigits[static_cast<int>(value % 16)]);
        value /= 16;
    }
    if (width > digits.size()) digits.prepend(QByteArray(width - digits.size(), '0'));
    return digits;
}

QByteArray ControlCharsToSpaces(const QByteArray& text) {
    QByteArray result = text;
    bool anyVisible = false;
    for (char c : text) {
        if (!isBlank(c)) {
            anyVisible = true;
            break;
        }
    }
    if (anyVisible) {
        for (char& c : result) {
            if (static_cast<unsigned char>(c) < 32) c = ' ';
        }
    } else if (!result.isEmpty() && static_cast<unsigned char>(result[0]) < 32) {
        // A blank text stops being converted as soon as it trims to nothing: after its first
        // character.
        result[0] = ' ';
    }
    return result;
}

QByteArray SplitAtDelimiters(const QByteArray& text, bool keepApostrophe) {
    CharSet delimiters = CharSetOf(kDelimiters);
    if (!keepApostrophe) delimiters.set(static_cast<unsigned char>('\''));

    // Tokens never hold CR or LF: a text with any visible character has all its control
    // characters turned into spaces, and a blank text has no delimiter and so no token.
    const QByteArray s = ControlCharsToSpaces(text);
    QByteArray result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (!delimiters.test(static_cast<unsigned char>(s[i]))) continue;
        const QByteArray token = Trim(s.mid(start, i - start));
        if (!token.isEmpty()) result += token + "\r\n";
        start = i + 1;
    }
    return result;
}

QByteArray RemoveAll(const QByteArray& pattern, const QByteArray& text) {
    if (pattern.isEmpty() || pattern.size() > text.size()) return text;
    QByteArray result;
    result.reserve(text.size());
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < text.size()) {
        bool match = i + n <= text.size();
        for (qsizetype k = 0; match && k < n; ++k) {
            match = foldCase(static_cast<unsigned char>(text[i + k])) ==
                    foldCase(static_cast<unsigned char>(pattern[k]));
        }
        if (match) {
            i += n;
        } else {
            result += text[i];
            ++i;
        }
    }
    return result;
}

CharSet CharSetOf(const QByteArray& text) {
    CharSet set;
    for (char c : text) set.set(static_cast<unsigned char>(c));
    return set;
}

bool AllCharsInSet(const QByteArray& text, const CharSet& set) {
    for (char c : text) {
        if (!set.test(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool AllCharsIn(const QByteArray& text, const QByteArray& allowed) {
    return AllCharsInSet(text, CharSetOf(allowed));
}

}  // namespace keldrin
