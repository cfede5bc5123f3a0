#include "tools/Converters.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <cmath>
#include <cstring>

#include "platform/Errors.h"
#include "tools/Calculator.h"
#include "tools/NumberBase.h"

using namespace keldrin;

namespace {

QByteArray joined(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& l : lines) out += l + "|";
    return out;
}

}  // namespace

TEST(HexToAscii, TokensNeedADelimiterAndBecomeTokenTabCharacterLines) {
    const struct {
        const char* memo;   // as MemoHEXA holds it, upper-cased already
        const char* lines;  // the MemoASCII lines, each followed by "|"
        QByteArray chars;   // Memo2
    } cases[] = {
        {"41,42,43!", "41\tA|42\tB|43\tC|", "ABC"},
        {"41,42", "41\tA|", "A"},  // the last token has no delimiter
        {"41 42 43", "", ""},      // spaces do not separate tokens
        {"6A,", "6A\tj|", "j"},
        {"48,49,0!", "48\tH|49\tI|0\t|", "HI"},  // code 0 keeps nothing after the TAB
        {"41,00,42!", "41\tA|00\t|42\tB|", "AB"},
        {"ZZ,141!", "ZZ\t|141\tA|", "A"},  // not hex: code 0; 0x141 mod 256 is 0x41
        {"41,\r\n 42 ;", "41\tA|42\tB|", "AB"},
        {"09,0D,0A!", "09\t\t|0D\t\r|0A\t\n|", QByteArray("\t\r\n")},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        HexToAsciiConversion conversion(c.memo);
        conversion.run();
        EXPECT_EQ(joined(conversion.lines()), QByteArray(c.lines)) << c.memo;
        EXPECT_EQ(conversion.chars(), c.chars) << c.memo;
    }
}

TEST(HexToAscii, AnOverflowingTokenEndsTheConversionAtItsLine) {
    HexToAsciiConversion conversion("41,FFFFFFFFFFFFFFFF,42!");
    conversion.step();
    EXPECT_THROW(conversion.step(), EIntOverflow);
    EXPECT_EQ(conversion.convertedLines(), 1);
    // The converted line stays converted, the rest keep their tokens.
    EXPECT_EQ(joined(conversion.lines()), QByteArray("41\tA|FFFFFFFFFFFFFFFF|42|"));
    EXPECT_EQ(conversion.chars(), QByteArray("A"));
    // Fifteen digits always fit.
    HexToAsciiConversion fits("123456789ABCDEF!");
    EXPECT_NO_THROW(fits.run());
    EXPECT_EQ(joined(fits.lines()), QByteArray("123456789ABCDEF\t\xEF|"));
}

TEST(AsciiToHex, EveryByteAsTwoDigitsAndACommaThenZeroBang) {
    const struct {
        QByteArray text;
        const char* codes;
    } cases[] = {
        {"HI", "48,49,0!"},
        {"A\r\nB", "41,0D,0A,42,0!"},
        {"", "0!"},
        {QByteArray("\0\xFF", 2), "00,FF,0!"},
    };
    for (const auto& c : cases) EXPECT_EQ(AsciiToHexCodes(c.text), QByteArray(c.codes)) << c.codes;
    EXPECT_EQ(UpperCaseAscii("Hi \xE9z"), QByteArray("HI \xE9Z"));
}

TEST(AsciiToHex, ItsOutputConvertsBackToTheSameCharactersAndAZeroToken) {
    const QByteArray text = "KELDRIN 1.0";
    HexToAsciiConversion back(AsciiToHexCodes(text));
    back.run();
    EXPECT_EQ(back.chars(), text);
    EXPECT_EQ(back.lines().last(), QByteArray("0\t"));
}

TEST(NumberBase, ShowsOneValueInEachBaseAndReadsItBack) {
    const struct {
        std::uint64_t value;
        const char* hex;
        const char* bin;
        const char* dec;
    } cases[] = {
        {4660, "$1234", "1001000110100", "4660"},
        {0, "$0", "0", "0"},
        {255, "$FF", "11111111", "255"},
        {UINT64_MAX, "$FFFFFFFFFFFFFFFF",
         "1111111111111111111111111111111111111111111111111111111111111111",
         "18446744073709551615"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatInBase(c.value, NumberBase::Hex), QLatin1String(c.hex));
        EXPECT_EQ(FormatInBase(c.value, NumberBase::Bin), QLatin1String(c.bin));
        EXPECT_EQ(FormatInBase(c.value, NumberBase::Dec), QLatin1String(c.dec));
        EXPECT_EQ(ParseInBase(QLatin1String(c.hex), NumberBase::Hex), c.value);
        EXPECT_EQ(ParseInBase(QLatin1String(c.bin), NumberBase::Bin), c.value);
        EXPECT_EQ(ParseInBase(QLatin1String(c.dec), NumberBase::Dec), c.value);
        EXPECT_EQ(AsHexToValue(ValueToAsHex(c.value)), c.value);
    }
    EXPECT_EQ(ValueToAsHex(4660), QLatin1String("1234"));
}

TEST(NumberBase, AcceptsOnlyTheDigitsOfTheBase) {
    const struct {
        const char* text;
        NumberBase base;
        bool valid;
    } cases[] = {
        {"12ab", NumberBase::Hex, true},  {"$12AB", NumberBase::Hex, true},
        {"12G", NumberBase::Hex, false},  {"1012", NumberBase::Bin, false},
        {"$101", NumberBase::Bin, false}, {"1A", NumberBase::Dec, false},
        {"-1", NumberBase::Dec, false},   {"18446744073709551616", NumberBase::Dec, false},
        {"", NumberBase::Dec, true},      {"12 3", NumberBase::Dec, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInBase(QLatin1String(c.text), c.base).has_value(), c.valid) << c.text;
    EXPECT_EQ(BaseOfItem(0), NumberBase::Hex);
    EXPECT_EQ(BaseOfItem(1), NumberBase::Bin);
    EXPECT_EQ(BaseOfItem(2), NumberBase::Dec);
    EXPECT_EQ(BaseOfItem(-1), NumberBase::Hex);
    EXPECT_EQ(AsHexToValue(QStringLiteral("$1234")), 4660u);
    EXPECT_EQ(AsHexToValue(QStringLiteral("0x1234")), 4660u);
    EXPECT_FALSE(AsHexToValue(QStringLiteral("")).has_value());
    EXPECT_FALSE(AsHexToValue(QStringLiteral("12Z")).has_value());
}

TEST(Calculator, WorksLeftToRightLikeAPocketCalculator) {
    const struct {
        double start;
        const char* keys;
        const char* display;
    } cases[] = {
        {0, "2+3*4=", "20"},
        {0, "1.5+2.25=", "3.75"},
        {0, "10/4=", "2.5"},
        {0, "7-9=", "-2"},
        {0, "0.1+0.2=", "0.30000000000000004"},
        {0, "1..2=", "1.2"},  // a second point is ignored
        {0, "5+*2=", "10"},   // a second operator replaces the first
        {12.5, "*2=", "25"},  // starts from the field's value
        {12.5, "3=", "3"},    // a digit starts a new number
        {0, "1/0=", "Error"},
        {0, "1/0=C", "0"},
        {0, "1/0=5+", "Error"},  // only C leaves the error
        {0, ".5=", "0.5"},
        {0, "007", "7"},
    };
    for (const auto& c : cases) {
        Calculator calc(c.start);
        calc.pressAll(c.keys);
        EXPECT_EQ(calc.display(), QLatin1String(c.display)) << c.keys;
    }
}

TEST(Calculator, ValueTextsReadBackBitForBit) {
    for (double v : {0.1, 1.0 / 3.0, 4660.0, -2.5e-300, 1e300, 123456789.125}) {
        const double back = FormatCalcValue(v).toDouble();
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << qPrintable(FormatCalcValue(v));
    }
}
