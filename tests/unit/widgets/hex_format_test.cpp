#include <gtest/gtest.h>

#include <QString>

#include "widgets/HexFormat.h"

using namespace keldrin;

TEST(HexFormat, OffsetsHaveTheDigitsOfTheLargestOffsetAPrefixAndABar) {
    const struct {
        std::int64_t size;
        std::int64_t offset;
        const char* text;
    } cases[] = {
        {0, 0, "0x0|"},
        {1, 0, "0x0|"},
        {16, 15, "0xF|"},
        {17, 0, "0x00|"},  // the largest offset, 0x10, needs two digits
        {256, 0x1A, "0x1A|"},
        {257, 0x1A, "0x01A|"},
        {1LL << 30, 0x12345, "0x00012345|"},
        {(1LL << 32) + 1, 0, "0x000000000|"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatOffset(c.offset, OffsetDigits(c.size)), QLatin1String(c.text))
            << c.size << " " << c.offset;
}

TEST(HexFormat, CharactersShowAsTheyAreExceptTheUnprintable) {
    EXPECT_EQ(DisplayChar('A'), 'A');
    EXPECT_EQ(DisplayChar(' '), ' ');
    EXPECT_EQ(DisplayChar('~'), '~');
    EXPECT_EQ(DisplayChar(0xE9), char(0xE9));
    for (unsigned b : {0x00u, 0x09u, 0x0Du, 0x1Fu, 0x7Fu, 0x80u, 0x9Fu})
        EXPECT_EQ(DisplayChar(static_cast<unsigned char>(b)), '.') << b;
}

TEST(HexFormat, GoToOffsetReadsHexInItsUsualFormsAndDecimal) {
    const struct {
        const char* text;
        std::int64_t offset;  // -1: refused
    } cases[] = {
        {"0x1A", 26},
        {"0X1a", 26},
        {"$1A", 26},
        {"1Ah", 26},
        {" 26 ", 26},
        {"0x", -1},
        {"", -1},
        {"1A", -1},
        {"-5", -1},
        {"0x1G", -1},
        {"0x7FFFFFFFFFFFFFFF", INT64_MAX},
        {"0x8000000000000000", -1},
    };
    for (const auto& c : cases) {
        const std::optional<std::int64_t> got = ParseOffset(QLatin1String(c.text));
        EXPECT_EQ(got.value_or(-1), c.offset) << c.text;
    }
}

TEST(HexFormat, SearchBytesArePairsOfHexDigits) {
    const struct {
        const char* text;
        const char* bytes;  // nullptr: refused
    } cases[] = {
        {"41 42,43", "ABC"}, {"414243", "ABC"}, {"  6a ", "j"},  {"4", nullptr},
        {"4 1", nullptr},    {"414", nullptr},  {"GG", nullptr}, {"", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QByteArray> got = ParseHexBytes(QLatin1String(c.text));
        if (c.bytes)
            EXPECT_EQ(got.value_or("?"), QByteArray(c.bytes)) << c.text;
        else
            EXPECT_FALSE(got.has_value()) << c.text;
    }
}
