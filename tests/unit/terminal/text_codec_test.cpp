#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Errors.h"
#include "terminal/TextCodec.h"

using namespace keldrin;

namespace {

QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

struct HexCase {
    std::string text;
    std::int64_t value;
};

}  // namespace

TEST(HexToValue, ValuesOfHexTexts) {
    const HexCase cases[] = {
        {"", 0},
        {"0", 0},
        {"1e", 30},
        {"1E", 30},
        {"FF", 255},
        {"aBcD", 0xABCD},
        {"0000000000000000000000FF", 255},       // leading zeros never overflow
        {"FFFFFFFFFFFFFFF", 0xFFFFFFFFFFFFFFF},  // 15 digits always fit
        {"7FFFFFFFFFFFFFFE", 9223372036854775806},
        // Any character that is not a hex digit makes the whole text 0, never an error.
        {"1G", 0},
        {"0x1E", 0},
        {" 0", 0},
        {"12 34", 0},
        {"FF\r", 0},
        {std::string("1\0", 2), 0},
        {"\xC1\xE1", 0},  // Latin-1 letters are not digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexToValue(bytes(c.text)), c.value) << "text \"" << c.text << "\"";
    }
}

TEST(HexToValue, RaisesIntegerOverflowOutsideTheRange) {
    for (const char* text : {"7FFFFFFFFFFFFFFF", "8000000000000000", "FFFFFFFFFFFFFFFF",
                             "10000000000000000", "ffffffffffffffffffff"}) {
        try {
            HexToValue(text);
            ADD_FAILURE() << text << " did not overflow";
        } catch (const EIntOverflow& e) {
            EXPECT_STREQ(e.what(), "Integer overflow") << text;
        }
    }
}

TEST(ValueToHex, PadsToWidthAndNeverTruncates) {
    struct Case {
        std::int64_t value;
        std::int32_t width;
        const char* text;
    } cases[] = {
        {0, 2, "00"},
        {10, 2, "0A"},
        {255, 2, "FF"},
        {4096, 2, "1000"},
        {-1, 2, "00"},
        {-255, 0, ""},
        {0, 0, ""},
        {0, 5, "00000"},
        {0xABCDEF, 1, "ABCDEF"},
        {5, -3, "5"},
        {INT64_MAX, 2, "7FFFFFFFFFFFFFFF"},
        {INT64_MIN, 3, "000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueToHex(c.value, c.width), QByteArray(c.text))
            << "value " << c.value << " width " << c.width;
    }
}

TEST(ValueToHex, RoundTripsThroughHexToValue) {
    for (std::int64_t v : {std::int64_t{1}, std::int64_t{0x1234}, std::int64_t{0x7FFFFFFFFFFFFFFE},
                           std::int64_t{0x0FEDCBA987654321}}) {
        EXPECT_EQ(HexToValue(ValueToHex(v, 0)), v);
    }
}

TEST(ControlCharsToSpaces, TurnsControlCharactersIntoSpaces) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"AB\tC", "AB C"},
        {"\r\nline\r\n", "  line  "},
        {std::string("a\0b", 3), "a b"},
        {"\x1F\x20\x7F\xFF", "  \x7F\xFF"},  // DEL and bytes above 127 stay
        {"", ""},
        // A blank text only has its first character changed.
        {"\r\n", " \n"},
        {"\t\t\t", " \t\t"},
        {" \r\n", " \r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ControlCharsToSpaces(bytes(c.in)), bytes(c.out));
    }
}

TEST(SplitAtDelimiters, TrimmedTokensClosedByDelimiters) {
    const struct {
        std::string in;
        bool keepApostrophe;
        std::string out;
    } cases[] = {
        {"41,42,43,0!", true, "41\r\n42\r\n43\r\n0\r\n"},
        {"41 42", true, ""},        // spaces do not separate tokens
        {"41,42", true, "41\r\n"},  // text after the last delimiter is dropped
        {" a , b ;", true, "a\r\nb\r\n"},
        {"x'y,", false, "x\r\ny\r\n"},
        {"x'y,", true, "x'y\r\n"},
        {",,;; ,\t,", true, ""},             // consecutive delimiters and blank tokens give nothing
        {"a\tb\r\nc,", true, "a b  c\r\n"},  // control characters inside a token become spaces
        {"\r\n", true, ""},
        {"", false, ""},
        {"1=2-3\"4(5)6*7+8:9;A<B>C?D[E\\F]G^H{I}J|", true,
         "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\nG\r\nH\r\n"
         "I\r\nJ\r\n"},
        {"a.b/c@d_e#f$g%h&i~j`k,", true, "a.b/c@d_e#f$g%h&i~j`k\r\n"},  // not delimiters
        {"\xE9t\xE9,", true, "\xE9t\xE9\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitAtDelimiters(bytes(c.in), c.keepApostrophe), bytes(c.out))
            << "text \"" << c.in << "\" keep " << c.keepApostrophe;
    }
}

TEST(RemoveAll, RemovesEveryOccurrenceRegardlessOfCase) {
    const struct {
        std::string pattern, text, out;
    } cases[] = {
        {"-", "12-34-56", "123456"},
        {"_", "AB__", "AB"},
        {":", ":0300300002337A1E", "0300300002337A1E"},
        {"ab", "xAbyaBzab", "xyz"},
        {"aa", "aaa", "a"},            // scanning from the start, matches do not overlap
        {"\xE9", "caf\xC9!", "caf!"},  // Latin-1 letters fold too
        {"", "abc", "abc"},
        {"abcd", "abc", "abc"},
        {"x", "", ""},
        {"-", "---", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveAll(bytes(c.pattern), bytes(c.text)), bytes(c.out))
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
    }
}

TEST(CharSets, MembershipOfTexts) {
    const CharSet hex = CharSetOf("0123456789ABCDEFabcdef");
    EXPECT_EQ(hex.count(), 22u);
    EXPECT_TRUE(AllCharsInSet("", hex));
    EXPECT_TRUE(AllCharsInSet("c0FFee", hex));
    EXPECT_FALSE(AllCharsInSet("c0FFeeG", hex));
    EXPECT_FALSE(AllCharsInSet(QByteArray("0\0", 2), hex));

    const CharSet high = CharSetOf(QByteArray("\x00\xFF", 2));
    EXPECT_TRUE(high.test(0));
    EXPECT_TRUE(high.test(255));
    EXPECT_EQ(high.count(), 2u);

    EXPECT_TRUE(AllCharsIn("", "abc"));
    EXPECT_TRUE(AllCharsIn("", ""));
    EXPECT_TRUE(AllCharsIn("cabba", "abc"));
    EXPECT_FALSE(AllCharsIn("abcd", "abc"));
    EXPECT_FALSE(AllCharsIn("a", ""));
}

TEST(Trim, RemovesCodesUpTo32AtBothEnds) {
    EXPECT_EQ(Trim(QByteArray("\0\t a b \r\n\x1F", 10)), QByteArray("a b"));
    EXPECT_EQ(Trim(" \r\n"), QByteArray());
    EXPECT_EQ(Trim("\xA0x\xA0"), QByteArray("\xA0x\xA0"));  // 160 is above 32
    EXPECT_EQ(Trim(""), QByteArray());
}
