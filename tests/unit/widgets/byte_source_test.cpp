#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "widgets/ByteSource.h"

using namespace keldrin;

namespace {

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

}  // namespace

TEST(ByteSource, MapsARegularFileAndReadsWhatIsAsked) {
    QTemporaryDir dir;
    QByteArray bytes(100000, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    int error = -1;
    auto source = ByteSource::openFile(writeFile(dir, "a.bin", bytes), &error);
    ASSERT_TRUE(source);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(source->isMapped());
    EXPECT_EQ(source->size(), 100000);
    char buf[64];
    ASSERT_EQ(source->read(99990, buf, 64), 10);  // short at the end
    EXPECT_EQ(QByteArray(buf, 10), bytes.mid(99990));
    EXPECT_EQ(source->read(100000, buf, 1), 0);
    ASSERT_EQ(source->scan(5, buf, 64), 64);
    EXPECT_EQ(QByteArray(buf, 64), bytes.mid(5, 64));
}

TEST(ByteSource, EmptyMissingAndFolderFiles) {
    QTemporaryDir dir;
    int error = -1;
    auto empty = ByteSource::openFile(writeFile(dir, "empty.bin", {}), &error);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), 0);
    char c;
    EXPECT_EQ(empty->read(0, &c, 1), 0);

    EXPECT_FALSE(ByteSource::openFile(dir.filePath(QStringLiteral("none")), &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(ByteSource::openFile(dir.path(), &error));
    EXPECT_EQ(error, EISDIR);
}

TEST(ByteSource, AFileThatShrinksUnderTheMappingGivesShortReadsNotABusError) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "shrinks.bin", QByteArray(1 << 20, 'x'));
    int error = 0;
    auto source = ByteSource::openFile(path, &error);
    ASSERT_TRUE(source);
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 4096), 0);

    EXPECT_EQ(source->size(), 4096);
    std::vector<char> buf(8192);
    EXPECT_EQ(source->read(0, buf.data(), 8192), 4096);
    EXPECT_EQ(source->read(500000, buf.data(), 16), 0);
}

TEST(ByteSource, TheGuardTurnsTheBusErrorOfAVanishedPageIntoFalse) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "gone.bin", QByteArray(1 << 20, 'y'));
    int error = 0;
    auto source = ByteSource::openFile(path, &error);
    ASSERT_TRUE(source);
    // Read the mapping's pages through the guard while the file is whole.
    std::vector<char> buf(4096);
    ASSERT_EQ(source->read(900000, buf.data(), 4096), 4096);
    // A second mapping of our own, read past the cut end: without the guard this kills the test.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    uchar* map = f.map(0, 1 << 20);
    ASSERT_TRUE(map);
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 4096), 0);
    EXPECT_TRUE(CopyFromMapping(buf.data(), map, 100));
    EXPECT_FALSE(CopyFromMapping(buf.data(), map + 600000, 4096));
    // The guard stays usable afterwards, on this thread and others.
    EXPECT_FALSE(CopyFromMapping(buf.data(), map + 700000, 16));
    bool otherThread = true;
    std::thread([&] { otherThread = CopyFromMapping(buf.data(), map + 800000, 16); }).join();
    EXPECT_FALSE(otherThread);
    EXPECT_TRUE(CopyFromMapping(buf.data(), map + 10, 16));
}

TEST(ByteSource, FindBytesSearchesFromAnOffsetAndWrapsOnce) {
    QByteArray bytes(10 * 1024 * 1024, '\0');
    // One match across the border of two 4 MiB slices, one early, one late.
    const QByteArray needle = "NEEDLE";
    bytes.replace(100, needle.size(), needle);
    bytes.replace(4 * 1024 * 1024 - 3, needle.size(), needle);
    bytes.replace(9 * 1024 * 1024, needle.size(), needle);
    QTemporaryDir dir;
    int error = 0;
    const auto mapped = ByteSource::openFile(writeFile(dir, "big.bin", bytes), &error);
    const auto memory = ByteSource::fromBytes(bytes);
    ASSERT_TRUE(mapped);
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    const struct {
        std::int64_t from;
        std::int64_t found;
    } cases[] = {
        {0, 100},
        {101, 4 * 1024 * 1024 - 3},
        {4 * 1024 * 1024, 9 * 1024 * 1024},
        {9 * 1024 * 1024 + 1, 100},  // wrapped
        {10 * 1024 * 1024, 100},
    };
    for (const auto& source : {mapped, memory}) {
        for (const auto& c : cases)
            EXPECT_EQ(FindBytes(*source, needle, c.from, cancel, &progress), c.found) << c.from;
        EXPECT_EQ(FindBytes(*source, "absent", 0, cancel, &progress), kNotFound);
        EXPECT_EQ(progress.load(), 1000);
        EXPECT_EQ(FindBytes(*source, {}, 0, cancel), kNotFound);
    }
    cancel = true;
    EXPECT_EQ(FindBytes(*mapped, "absent", 0, cancel), kSearchCancelled);
}
