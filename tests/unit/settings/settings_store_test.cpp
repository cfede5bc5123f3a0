// The settings store: key paths and element names, value texts, the 80-bit extended form, the
// XML reader and writer, and what the store does with files it cannot use.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <thread>

#include "platform/SettingsStore.h"
#include "platform/SettingsXml.h"

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace keldrin::platform;

namespace {

std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

double doubleOf(std::uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

const QByteArray kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";

class Store : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString file() const { return dir.filePath(QStringLiteral("Keldrin.xml")); }
};

// --- names and value texts ------------------------------------------------------------------

TEST(SettingsNames, MangledAsTheFileNamesThem) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"StringGrid1_ColWidth_7", "StringGrid1_ColWidth_7"}, {"-----", "-----"},
        {"NormPos(1280x1024)", "NormPos_1280x1024_"},         {"a:b.c-d_e", "a:b.c-d_e"},
        {"two words/and\"more\"", "two_words_and_more_"},     {"caf\xe9", "caf_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MangleElementName(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(SettingsValues, Booleans) {
    const struct {
        const char* text;
        std::optional<bool> value;
    } cases[] = {
        {"TRUE", true}, {"true", true}, {"Yes", true},    {"y", true},   {"1", true},
        {"-3", true},   {" 2 ", true},  {"FALSE", false}, {"no", false}, {"n", false},
        {"N", false},   {"0", false},   {"+0", false},    {"maybe", {}}, {"", {}},
        {"1.5", {}},    {"T", {}},      {"0x1", {}},      {"yes!", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BooleanFromText(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
    EXPECT_EQ(BooleanText(true), QStringLiteral("TRUE"));
    EXPECT_EQ(BooleanText(false), QStringLiteral("FALSE"));
}

TEST(SettingsValues, Integers) {
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"35", 35},   {"-7", -7},   {"+4", 4},   {" 12\t", 12}, {"2147483647", 2147483647},
        {"", {}},     {"12a", {}},  {"1 2", {}}, {"--1", {}},   {"2147483648", {}},
        {"0x10", {}}, {"\xb2", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerFromText(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

// --- the 80-bit extended form ---------------------------------------------------------------

// Worked out by hand: mantissa with its leading 1 (little-endian), then sign and the exponent
// biased by 16383.
TEST(SettingsExtended, TextsOfKnownDoubles) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "00000000000000000000"},
        {-0.0, "00000000000000000080"},
        {1.0, "0000000000000080FF3F"},   // 2^0: exponent 16383 = 3FFF
        {-2.5, "00000000000000A000C0"},  // -1.01b * 2^1: mantissa A000..., 4000 | sign
        // 1e300 = 0x7E37E43C8800759C: exponent 0x7E3 - 1023 + 16383 = 0x43E3, mantissa
        // 1 followed by the 52 fraction bits 7E43C8800759C moved up by 11 = BF21E44003ACE000.
        {1e300, "00E0AC0340E421BFE343"},
        // the smallest denormal, 2^-1074: a normal extended value, exponent 16383 - 1074.
        {std::numeric_limits<double>::denorm_min(), "0000000000000080CD3B"},
        {std::numeric_limits<double>::infinity(), "0000000000000080FF7F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtendedText(c.value), QString::fromLatin1(c.text)) << c.value;
        const std::optional<double> back = ExtendedValue(QString::fromLatin1(c.text));
        ASSERT_TRUE(back.has_value()) << c.text;
        EXPECT_EQ(bitsOf(*back), bitsOf(c.value)) << c.text;
    }
}

// Where the processor has the 80-bit type, its bytes must be the same as ours.
TEST(SettingsExtended, AgreesWithTheProcessorsExtendedType) {
    if (std::numeric_limits<long double>::digits != 64) GTEST_SKIP() << "no 80-bit long double";
    std::mt19937_64 random(12);
    for (int i = 0; i < 20000; ++i) {
        double d = doubleOf(random());
        if (d != d) continue;  // NaN payloads are the processor's business
        const long double x = d;
        unsigned char bytes[sizeof(long double)] = {};
        std::memcpy(bytes, &x, sizeof x);
        QString text;
        for (int b = 0; b < 10; ++b) text += QStringLiteral("%1").arg(bytes[b], 2, 16, QChar(u'0'));
        ASSERT_EQ(ExtendedText(d), text.toUpper()) << d;
    }
}

TEST(SettingsExtended, EveryDoubleComesBackBitForBit) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  0.1,
                                  -123456.789,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  doubleOf(0x000FFFFFFFFFFFFFull),  // the largest denormal
                                  -std::numeric_limits<double>::infinity(),
                                  doubleOf(0x7FF8000000000001ull)};  // a NaN with a payload
    std::mt19937_64 random(7);
    for (int i = 0; i < 100000; ++i) values.push_back(doubleOf(random()));
    for (int i = 0; i < 10000; ++i) values.push_back(doubleOf(random() & 0x800FFFFFFFFFFFFFull));
    for (double d : values) {
        const QString text = ExtendedText(d);
        ASSERT_EQ(text.size(), 20);
        const std::optional<double> back = ExtendedValue(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        ASSERT_EQ(bitsOf(*back), bitsOf(d)) << text.toStdString();
    }
}

TEST(SettingsExtended, TextsThatAreNotTwentyHexDigitsAreRefused) {
    for (const char* bad :
         {"", "0000000000000080FF3", "0000000000000080FF3F0", "000000000000008GFF3F",
          "0000000000000080FF3 ", "+000000000000080FF3F", "0x00000000000080FF3F"})
        EXPECT_FALSE(ExtendedValue(QString::fromLatin1(bad)).has_value()) << '"' << bad << '"';
    EXPECT_EQ(ExtendedValue(QStringLiteral("0000000000000080ff3f")), 1.0);  // lower case too
}

// Extended values that no double holds exactly: rounded to the nearest, ties to even.
TEST(SettingsExtended, FinerValuesAreRounded) {
    const struct {
        const char* text;
        std::uint64_t bits;
    } cases[] = {
        {"0004000000000080FF3F", bitsOf(1.0)},       // 1 + 2^-53: a tie, stays even
        {"0006000000000080FF3F", bitsOf(1.0) + 1},   // 1 + 3*2^-54: up
        {"0001000000000080FF3F", bitsOf(1.0)},       // 1 + 2^-55: down
        {"0000000000000080FF43", bitsOf(HUGE_VAL)},  // 2^1024: beyond a double
        {"FFFFFFFFFFFFFFFFFE43", bitsOf(HUGE_VAL)},  // rounds up past the maximum
        {"00000000000000800100", 0},                 // 2^-16382
        {"0000000000000080CC3B", 0},                 // 2^-1075: a tie, to zero
        {"00000000000000C0CC3B", 1},                 // 1.5 * 2^-1075: up
        {"0000000000000000FF3F", 0},                 // no bits at all
        {"FFFFFFFFFFFFFFFF003C", bitsOf(std::numeric_limits<double>::min())},  // carries up
    };
    for (const auto& c : cases) {
        const std::optional<double> v = ExtendedValue(QString::fromLatin1(c.text));
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_EQ(bitsOf(*v), c.bits) << c.text;
    }
}

// --- the file -------------------------------------------------------------------------------

TEST_F(Store, KeyPathsNameNestedElementsInTheFileLayout) {
    SettingsStore store(file());
    EXPECT_EQ(store.load().outcome, SettingsStore::Loaded::Missing);
    EXPECT_EQ(store.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), -1), -1);
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 35);
    store.writeInteger(QStringLiteral("-----\\FormVersion"), 1);
    store.writeText(QStringLiteral("-----\\NormPos(1280x1024)"), QStringLiteral("1,2,3,4"));
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_1"), 40);
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 36);  // in place
    store.writeInteger(QStringLiteral(""), 9);                         // no element: nothing

    EXPECT_EQ(readFile(file()), kDeclaration +
                                    "<Configuration>\r\n"
                                    "  <StringGrid1_ColWidth_0>36</StringGrid1_ColWidth_0>\r\n"
                                    "  <----->\r\n"
                                    "    <FormVersion>1</FormVersion>\r\n"
                                    "    <NormPos_1280x1024_>1,2,3,4</NormPos_1280x1024_>\r\n"
                                    "  </----->\r\n"
                                    "  <StringGrid1_ColWidth_1>40</StringGrid1_ColWidth_1>\r\n"
                                    "</Configuration>\r\n");

    EXPECT_EQ(QFile::permissions(file()) & 0x7077,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    SettingsStore again(file());
    EXPECT_EQ(again.load().outcome, SettingsStore::Loaded::Read);
    EXPECT_EQ(again.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 36);
    EXPECT_EQ(again.readInteger(QStringLiteral("-----\\FormVersion"), 0), 1);
    EXPECT_EQ(again.readText(QStringLiteral("-----\\NormPos(1280x1024)")),
              QStringLiteral("1,2,3,4"));
    EXPECT_EQ(again.readInteger(QStringLiteral("-----\\Missing"), 5), 5);
    EXPECT_EQ(again.readInteger(QStringLiteral("-----\\NormPos(1280x1024)"), 5),
              5);  // not a number
    EXPECT_FALSE(again.exists(QStringLiteral("Nothing\\FormVersion")));
}

TEST_F(Store, TextsComeBackExactlyEscapedOrRaw) {
    const QString texts[] = {
        QStringLiteral("A<B&C>!"),
        QStringLiteral("<STX>&go!"),
        QStringLiteral("&amp; stays &amp;"),
        QStringLiteral("  spaces around  "),
        QStringLiteral("tab\tCR\rLF\nend"),
        QString::fromLatin1("caf\xe9 \xff"),
        QString::fromUtf8("\xe2\x82\xac and \xf0\x9f\x98\x80"),  // beyond ISO-8859-1
        QString(),
        QStringLiteral("</edEditSendData_Text"),
        QString(QChar(0)) + QStringLiteral("NUL"),
    };
    {
        SettingsStore store(file());
        store.load();
        const SettingsStore::Batch batch(store);
        for (int i = 0; i < int(std::size(texts)); ++i)
            store.writeText(QStringLiteral("-----\\t%1").arg(i), texts[i]);
    }
    const QByteArray bytes = readFile(file());
    EXPECT_TRUE(bytes.contains("<t0>A&lt;B&amp;C&gt;!</t0>"));
    EXPECT_TRUE(bytes.contains("<t5>caf\xe9 \xff</t5>"));
    SettingsStore store(file());
    ASSERT_EQ(store.load().outcome, SettingsStore::Loaded::Read);
    for (int i = 0; i < int(std::size(texts)); ++i)
        EXPECT_EQ(store.readText(QStringLiteral("-----\\t%1").arg(i)), texts[i]) << i;

    // Files written without escaping, as older versions did: each text runs to its closing tag.
    writeFile(file(), kDeclaration +
                          "<Configuration>\r\n<----->\r\n"
                          "<edEditSendData_Text>A<B&C>!</edEditSendData_Text>\r\n"
                          "<Send2>a&b</Send2><Send3><B>x</B></Send3><Send4>x</B>y</Send4>\r\n"
                          "<Escaped>1 &lt; 2 &#65;&#x42;</Escaped><Empty/>"
                          "<Loop>7</Loop>\r\n</----->\r\n</Configuration>\r\n");
    SettingsStore raw(file());
    ASSERT_EQ(raw.load().outcome, SettingsStore::Loaded::Read);
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\edEditSendData_Text")),
              QStringLiteral("A<B&C>!"));
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\Send2")), QStringLiteral("a&b"));
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\Send3")), QStringLiteral("<B>x</B>"));
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\Send4")), QStringLiteral("x</B>y"));
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\Escaped")), QStringLiteral("1 < 2 AB"));
    EXPECT_EQ(raw.readText(QStringLiteral("-----\\Empty")), QString());
    EXPECT_EQ(raw.readInteger(QStringLiteral("-----\\Loop"), 0), 7);
}

// What this version does not know stays in the file as it was written.
TEST_F(Store, ElementsItDoesNotTouchStayAsWritten) {
    const QByteArray kept =
        "<PBBinHexEdit1_AsHex>00FF</PBBinHexEdit1_AsHex><!-- note -->"
        "<JvCalcEdit4_Value>0000000000000080FF3F</JvCalcEdit4_Value>"
        "<Odd kind='x'> <B>x</B> </Odd>";
    writeFile(file(), kDeclaration + "<Configuration>\r\n<----->" + kept +
                          "</----->\r\n<Other a=\"1\">\r\n  <X>1</X>\r\n</Other>\r\n"
                          "</Configuration>\r\n");
    SettingsStore store(file());
    ASSERT_EQ(store.load().outcome, SettingsStore::Loaded::Read);
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 50);
    const QByteArray bytes = readFile(file());
    EXPECT_TRUE(bytes.contains("<Other a=\"1\">\r\n  <X>1</X>\r\n</Other>\r\n"))
        << bytes.constData();
    store.writeInteger(QStringLiteral("-----\\FormVersion"), 1);
    SettingsStore again(file());
    ASSERT_EQ(again.load().outcome, SettingsStore::Loaded::Read);
    EXPECT_EQ(again.readText(QStringLiteral("-----\\PBBinHexEdit1_AsHex")), QStringLiteral("00FF"));
    EXPECT_EQ(again.readText(QStringLiteral("-----\\JvCalcEdit4_Value")),
              QStringLiteral("0000000000000080FF3F"));
    EXPECT_EQ(again.readText(QStringLiteral("-----\\Odd")), QStringLiteral(" <B>x</B> "));
    EXPECT_EQ(again.readInteger(QStringLiteral("-----\\FormVersion"), 0), 1);
    EXPECT_EQ(again.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 50);
    EXPECT_EQ(again.readInteger(QStringLiteral("Other\\X"), 0), 1);
}

TEST_F(Store, FilesThatCannotBeParsedAreSetAsideAndReplaced) {
    QByteArray good = kDeclaration +
                      "<Configuration>\r\n<StringGrid1_ColWidth_0>60</StringGrid1_ColWidth_0>\r\n"
                      "<-----><FormVersion>1</FormVersion></-----></Configuration>\r\n";
    QByteArray huge = kDeclaration + "<Configuration><X>";
    huge += QByteArray(kMaxSettingsFileBytes, 'a') + "</X></Configuration>";
    const QByteArray cases[] = {
        QByteArray(),
        good.left(good.size() - 20),  // cut short
        good.left(90),
        QByteArray("\x00\x01garbage\xff\xfe", 11),
        "<Configuration><X>1</X>",
        "<Settings><X>1</X></Settings>",
        good + "<Configuration></Configuration>",
        "<Configuration><-----><FormVersion>1</FormVersion></Configuration>",
        "<Configuration>" + QByteArray(200, '<') + "</Configuration",
        huge,
    };
    for (const QByteArray& bytes : cases) {
        QFile::remove(file() + ".bad");
        writeFile(file(), bytes);
        SettingsStore store(file());
        const SettingsStore::LoadReport report = store.load();
        EXPECT_EQ(report.outcome, SettingsStore::Loaded::SetAside) << bytes.left(80).constData();
        EXPECT_FALSE(report.problem.isEmpty());
        EXPECT_FALSE(QFile::exists(file()));
        EXPECT_EQ(readFile(file() + ".bad"), bytes);
        EXPECT_EQ(store.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 0);
        store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 70);
        SettingsStore fresh(file());
        ASSERT_EQ(fresh.load().outcome, SettingsStore::Loaded::Read);
        EXPECT_EQ(fresh.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 70);
    }
}

TEST_F(Store, ReadOnlyFilesAreLeftAlone) {
    const QByteArray original = kDeclaration + "<Configuration></Configuration>\r\n";
    writeFile(file(), original);
    QFile::setPermissions(file(), QFile::ReadOwner | QFile::ReadGroup);
    SettingsStore store(file());
    ASSERT_EQ(store.load().outcome, SettingsStore::Loaded::Read);
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 50);
    EXPECT_EQ(readFile(file()), original);
    EXPECT_EQ(store.readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 50);  // in memory

    QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner);
    store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), 51);  // writable again
    EXPECT_NE(readFile(file()), original);
    // The file that replaces it keeps its permissions.
    EXPECT_EQ(QFile::permissions(file()) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(Store, FilesItMayNotReadOrFoldersItMayNotWriteAreLeftAlone) {
    if (geteuid() == 0) GTEST_SKIP() << "needs permissions that bind this user";
    const QByteArray original = kDeclaration + "<Configuration></Configuration>\r\n";
    writeFile(file(), original);
    // A file it cannot even read is not replaced.
    QFile::setPermissions(file(), QFile::WriteOwner);
    SettingsStore blind(file());
    EXPECT_EQ(blind.load().outcome, SettingsStore::Loaded::Unreadable);
    blind.writeInteger(QStringLiteral("X"), 1);
    QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readFile(file()), original);

    // A folder without write permission: nothing is written, nothing is said.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    SettingsStore inLocked(locked + QStringLiteral("/Keldrin.xml"));
    inLocked.load();
    inLocked.writeInteger(QStringLiteral("X"), 1);
    EXPECT_FALSE(inLocked.makeCurrent());
    EXPECT_TRUE(QDir(locked).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Two instances writing in turn: the file is always whole, and the last writer decides it.
TEST_F(Store, TheLastWriterWinsAndTheFileIsAlwaysWhole) {
    SettingsStore a(file());
    SettingsStore b(file());
    a.load();
    b.load();
    for (int i = 0; i < 50; ++i) {
        a.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), i);
        b.writeInteger(QStringLiteral("StringGrid1_ColWidth_1"), 1000 + i);
        SettingsStore reader(file());
        ASSERT_EQ(reader.load().outcome, SettingsStore::Loaded::Read);
        EXPECT_FALSE(reader.exists(QStringLiteral("StringGrid1_ColWidth_0")));
        EXPECT_EQ(reader.readInteger(QStringLiteral("StringGrid1_ColWidth_1"), 0), 1000 + i);
    }
    // No temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Keldrin.xml"});
}

// Another instance reading while this one writes never finds half a file.
TEST_F(Store, AReaderNeverSeesHalfAFile) {
    SettingsStore store(file());
    store.load();
    store.writeText(QStringLiteral("-----\\edEditSendData_Text"), QString(100000, u'x'));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            const XmlParse parsed = ParseSettingsXml(readFile(file()));
            if (!parsed.root) ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 300 || reads < 50; ++i)
        store.writeInteger(QStringLiteral("StringGrid1_ColWidth_0"), i);
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

// Whatever the reader accepts, it accepts again once written, and writes the same.
TEST(SettingsXmlReader, WhatItWritesItReadsAgain) {
    const QByteArray cases[] = {
        // UTF-8, with names and texts beyond ISO-8859-1
        "\xef\xbb\xbf<?xml?>\r\n<Configuration>\r\n  <\xffName>60</\xa3Name>\r\n"
        "  <----->\x87\r\n  </----->\r\n</Configuration>\r\n",
        QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Configuration><N\xc3\xa9\xe2\x82\xac>"
            "a\xe2\x82\xac<b</N\xc3\xa9\xe2\x82\xac></Configuration>"),
        // a NUL character in a text
        QByteArray("<Configuration>\r\n\xff\x00\x01</Configuration>", 36),
    };
    for (const QByteArray& bytes : cases) {
        const XmlParse first = ParseSettingsXml(bytes);
        ASSERT_TRUE(first.root.has_value()) << bytes.constData();
        const QByteArray written = WriteSettingsXml(*first.root);
        const XmlParse second = ParseSettingsXml(written);
        ASSERT_TRUE(second.root.has_value()) << written.constData();
        EXPECT_EQ(WriteSettingsXml(*second.root), written);
    }
}

// Damaged copies of a real file: the reader never crashes, and whatever it accepts it writes
// back so that it reads the same again.
TEST(SettingsXmlReader, DamagedFilesNeverBreakIt) {
    const QByteArray seed =
        kDeclaration +
        "<Configuration>\r\n  <StringGrid1_ColWidth_0>60</StringGrid1_ColWidth_0>"
        "\r\n  <----->\r\n    <FormVersion>1</FormVersion>\r\n"
        "    <edEditSendData_Text>A&lt;B&amp;C&gt;!</edEditSendData_Text>\r\n"
        "    <Raw>x<y&z></Raw><!-- c --><E/><F a=\"1\">&#8364;</F>\r\n"
        "  </----->\r\n</Configuration>\r\n";
    const char alphabet[] = "<>/&;#!-?=\"' \r\nax";
    std::mt19937 random(3);
    for (int i = 0; i < 30000; ++i) {
        QByteArray bytes = seed;
        const int edits = 1 + int(random() % 4);
        for (int k = 0; k < edits; ++k) {
            const int at = int(random() % uint(bytes.size()));
            switch (random() % 3) {
                case 0:
                    bytes[at] = alphabet[random() % (sizeof alphabet - 1)];
                    break;
                case 1:
                    bytes.remove(at, 1 + int(random() % 8));
                    break;
                default:
                    bytes.insert(at, bytes.mid(int(random() % uint(bytes.size())), 6));
                    break;
            }
        }
        const XmlParse first = ParseSettingsXml(bytes);
        if (!first.root) continue;
        const QByteArray written = WriteSettingsXml(*first.root);
        const XmlParse second = ParseSettingsXml(written);
        ASSERT_TRUE(second.root.has_value()) << bytes.constData();
        ASSERT_EQ(WriteSettingsXml(*second.root), written) << bytes.constData();
    }
}

}  // namespace
