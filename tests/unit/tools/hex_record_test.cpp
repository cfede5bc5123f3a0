#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <string>

#include "platform/Errors.h"
#include "terminal/TextCodec.h"
#include "tools/HexRecord.h"

using namespace keldrin;

TEST(HexRecordMath, LayOutPairsPlacesCharactersAsTheFieldMaskDoes) {
    const struct {
        const char* text;
        int pairs;
        const char* laidOut;
    } cases[] = {
        {"0030", 2, "00-30"},
        {"00-30", 2, "00-30"},
        {"02337A", 3, "02-33-7A"},
        {"0a", 1, "0A"},
        {"3", 1, "3 "},
        {"", 1, "  "},
        {"", 3, "  -  -  "},
        {"02-  -7A", 4, "02-  -7A-  "},  // blanks keep their places when the field grows
        {"02-33-7A", 1, "02"},           // and the pairs beyond a shrunk field are cut
        {"0G", 1, "0G"},                 // the mask admits any letter
        {"3:", 1, "3 "},                 // but no punctuation
        {"1_2", 2, "1 -2 "},
        {"0123", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LayOutPairs(c.text, c.pairs), QByteArray(c.laidOut))
            << "\"" << c.text << "\" in " << c.pairs << " pairs";
    }
}

TEST(HexRecordMath, DataPairsOfTheByteCount) {
    EXPECT_EQ(DataPairsOf("03"), 3);
    EXPECT_EQ(DataPairsOf("FF"), 255);
    EXPECT_EQ(DataPairsOf("00"), 0);
    EXPECT_EQ(DataPairsOf("  "), 0);
    EXPECT_EQ(DataPairsOf("3 "), 0);
    EXPECT_EQ(DataPairsOf("0G"), 0);
    EXPECT_EQ(DataPairsOf("FFFFFFFF"), -1);  // low 32 bits: not above 0, so no data
    EXPECT_THROW(DataPairsOf("8000000000000000"), EIntOverflow);
}

TEST(HexRecordMath, ChecksumOfTheFieldTexts) {
    const struct {
        const char* fields;
        const char* checksum;
    } cases[] = {
        {"0300-300002-33-7A", "1E"},  // 03+00+30+00+02+33+7A = E2
        {"0300-000312-AB-CD", "70"},  // sum 190, low byte 90
        {"0000-0000", "00"},
        {"0000-0001", "FF"},
        {"", "00"},
        {"__-__", "00"},
        {"0300-300002-33-7A3", "1E"},     // an odd last character is ignored
        {"0300-300002-3G-7A", "51"},      // a non-hex pair adds 0: sum AF
        {"  0300-300002-33-7A  ", "1E"},  // the text is trimmed first
        {" 300-300002-33-7A", "73"},      // a leading blank is trimmed away and shifts the pairs
        {"FFFF-FFFFFF-FF-FF", "07"},      // 7 x FF = 6F9
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexRecordChecksum(c.fields), QByteArray(c.checksum)) << c.fields;
    }
}

TEST(HexRecordMath, ChecksumPumpsAroundEveryPair) {
    int steps = 0;
    HexRecordChecksum("0300-300002-33-7A", [&] { ++steps; });
    EXPECT_EQ(steps, 2 * 7);
}

TEST(HexRecordMath, SplitFillsTheFieldsAndRecomputesTheChecksum) {
    const struct {
        const char* record;
        HexRecordFields fields;
    } cases[] = {
        {":0300300002337A1E", {"03", "00-30", "00", "02-33-7A", "1E"}},
        // The checksum in the text is never compared, only replaced.
        {":0300300002337A00", {"03", "00-30", "00", "02-33-7A", "1E"}},
        {":0300000312ABCD", {"03", "00-00", "03", "12-AB-CD", "70"}},
        {":00000001FF", {"00", "00-00", "01", "", "FF"}},
        {"0300300002337a1e", {"03", "00-30", "00", "02-33-7A", "1E"}},  // no colon, lower case
        {":03003000", {"03", "00-30", "00", "  -  -  ", "CD"}},         // too short for data
        {":03", {"03", "  -  ", "  ", "  -  -  ", "FD"}},
        {"", {"  ", "  -  ", "  ", "", "00"}},
        {":0G003000AABB", {"0G", "00-30", "00", "", "D0"}},  // invalid count: no data field
    };
    for (const auto& c : cases) {
        const HexRecordFields f = SplitHexRecord(c.record);
        EXPECT_EQ(f.byteCount, c.fields.byteCount) << c.record;
        EXPECT_EQ(f.address, c.fields.address) << c.record;
        EXPECT_EQ(f.recordType, c.fields.recordType) << c.record;
        EXPECT_EQ(f.data, c.fields.data) << c.record;
        EXPECT_EQ(f.checksum, c.fields.checksum) << c.record;
    }
}

TEST(HexRecordMath, AssembleJoinsTheFieldsBehindAColon) {
    EXPECT_EQ(AssembleHexRecord({"03", "00-30", "00", "02-33-7A", "1E"}),
              QByteArray(":0300300002337A1E"));
    // The checksum field is taken as it stands.
    EXPECT_EQ(AssembleHexRecord({"03", "00-30", "00", "02-33-7A", "99"}),
              QByteArray(":0300300002337A99"));
    EXPECT_EQ(AssembleHexRecord({"03", "00-30", "00", "02-3 -  ", "  "}),
              QByteArray(":03003000023"));
}

TEST(HexRecordMath, CompleteRecords) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {":0300300002337A1E", ":0300300002337A1E"},
        {":0300000312ABCD", ":0300000312ABCD70"},  // the runner's checksum record
        {":0300000312ABCD70", ":0300000312ABCD70"},
        {":00000001", ":00000001FF"},
        {":020000040001", ":020000040001F9"},
        {":10010000214601360121470136007EFE09D2190140",
         ":10010000214601360121470136007EFE09D2190140"},
    };
    for (const auto& c : cases) EXPECT_EQ(CompleteHexRecord(c.in), QByteArray(c.out)) << c.in;
}

// Independent tools write and check Intel HEX files: what they write we must complete to the
// same text, and what we build they must accept.
class HexRecordCrossCheck : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Runs a tool; returns its exit code (-1 when it could not start or hung).
    static int run(const QString& program, const QStringList& args, QByteArray* output = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(30000)) return -1;
        if (output) *output = p.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QByteArray randomFirmware(int size, unsigned seed) {
        std::mt19937 gen(seed);
        QByteArray bytes(size, '\0');
        for (char& b : bytes) b = char(gen() & 0xFF);
        QFile f(path("firmware.bin"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return bytes;
    }

    static QList<QByteArray> recordsOf(const QString& file) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        QList<QByteArray> lines;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QByteArray record = Trim(line);
            if (!record.isEmpty()) lines << record;
        }
        return lines;
    }

    // Every record of a file written by a tool completes to itself, also after its checksum
    // has been spoilt.
    static void expectSameChecksums(const QString& file) {
        const QList<QByteArray> records = recordsOf(file);
        ASSERT_GT(records.size(), 3);
        for (const QByteArray& record : records) {
            EXPECT_EQ(CompleteHexRecord(record), record);
            QByteArray spoilt = record;
            spoilt.chop(2);
            spoilt += record.endsWith("00") ? "01" : "00";
            EXPECT_EQ(CompleteHexRecord(spoilt), record);
        }
    }

    QTemporaryDir dir;
};

TEST_F(HexRecordCrossCheck, RecordsWrittenBySrecCat) {
    // Loaded across a 64 KiB boundary, so extended-address records are in the file too.
    randomFirmware(5000, 1);
    ASSERT_EQ(run("srec_cat", {path("firmware.bin"), "-binary", "-offset", "0x1F800", "-o",
                               path("firmware.hex"), "-intel", "-obs=32"}),
              0);
    const QList<QByteArray> records = recordsOf(path("firmware.hex"));
    ASSERT_TRUE(std::any_of(records.begin(), records.end(),
                            [](const QByteArray& r) { return r.mid(7, 2) == "04"; }));
    expectSameChecksums(path("firmware.hex"));
}

TEST_F(HexRecordCrossCheck, RecordsWrittenByObjcopy) {
    randomFirmware(3000, 2);
    ASSERT_EQ(
        run("objcopy", {"-I", "binary", "-O", "ihex", path("firmware.bin"), path("firmware.hex")}),
        0);
    expectSameChecksums(path("firmware.hex"));
}

TEST_F(HexRecordCrossCheck, RecordsWeBuildAreAcceptedBySrecordTools) {
    std::mt19937 gen(3);
    QByteArray firmware;
    QByteArray file;
    int address = 0;
    while (address < 4000) {
        const int count = 1 + int(gen() % 32);
        QByteArray record = ":" + ValueToHex(count, 2) + ValueToHex(address, 4) + "00";
        for (int i = 0; i < count; ++i) {
            const char byte = char(gen() & 0xFF);
            firmware += byte;
            record += ValueToHex(static_cast<unsigned char>(byte), 2);
        }
        file += CompleteHexRecord(record) + "\r\n";
        address += count;
    }
    file += CompleteHexRecord(":00000001") + "\r\n";
    {
        QFile f(path("ours.hex"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    QByteArray report;
    ASSERT_EQ(run("srec_info", {path("ours.hex"), "-intel"}, &report), 0) << report.toStdString();
    ASSERT_EQ(
        run("srec_cat", {path("ours.hex"), "-intel", "-o", path("back.bin"), "-binary"}, &report),
        0)
        << report.toStdString();
    QFile back(path("back.bin"));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), firmware);

    // The tools do check: one wrong checksum makes them refuse the file.
    QByteArray spoilt = file;
    const qsizetype lineEnd = spoilt.indexOf("\r\n");
    spoilt[lineEnd - 1] = spoilt[lineEnd - 1] == '0' ? '1' : '0';
    QFile f(path("spoilt.hex"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(spoilt);
    f.close();
    EXPECT_NE(run("srec_info", {path("spoilt.hex"), "-intel"}), 0);
}
