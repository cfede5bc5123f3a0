#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "logging/LogFiles.h"
#include "platform/FakeSeams.h"

using namespace keldrin;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

}  // namespace

TEST(TimeStamps, FileTimeStampPadsEveryField) {
    struct Case {
        QDateTime moment;
        bool seconds, millis;
        const char* text;
    };
    const Case cases[] = {
        {at(2025, 3, 5, 7, 4, 9, 45), true, true, "05-03-2025_07-04-09-045"},
        {at(2025, 12, 8, 14, 5, 9, 0), true, false, "08-12-2025_14-05-09"},
        {at(2025, 12, 8, 14, 5, 9, 999), false, false, "08-12-2025_14-05"},
        {at(2025, 1, 1, 0, 0, 0, 7), false, true, "01-01-2025_00-00-007"},
        {at(2026, 11, 30, 23, 59, 59, 120), true, true, "30-11-2026_23-59-59-120"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileTimeStamp(c.seconds, c.millis, c.moment).toStdString(), c.text);
    // No moment: now.
    EXPECT_EQ(FileTimeStamp(false, false).size(), QStringLiteral("08-12-2025_14-05").size());
}

TEST(TimeStamps, ClockTextShowsMinutesAndSecondsOnly) {
    struct Case {
        qint64 ms;
        const char* text;
    };
    const Case cases[] = {
        {65'000, "01:05"},    {5'000, "00:05"},     {0, "00:00"},
        {3'599'000, "59:59"}, {3'720'000, "02:00"},  // an hour and two minutes shows 02:00
        {3'600'999, "00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClockText(":", true, true, c.ms).toStdString(), c.text) << c.ms;
    EXPECT_EQ(ClockText("-", true, false, qint64(65'000)).toStdString(), "01-");
    EXPECT_EQ(ClockText(":", false, true, qint64(65'000)).toStdString(), "05");
    EXPECT_EQ(ClockText(":", true, true, at(2025, 1, 1, 13, 7, 45, 0)).toStdString(), "07:45");
}

TEST(LogWriters, AppendLogLineAddsCrLfAndCreatesTheFile) {
    platform::FakeSeams seams;
    QTemporaryDir dir;
    const QString file = dir.filePath("rx.log");
    AppendLogLine(file, QByteArray("one\r\ntwo", 8));
    AppendLogLine(file, QByteArray("\x00\xff", 2));
    AppendLogLine(file, QByteArray());
    EXPECT_EQ(readAll(file), QByteArray("one\r\ntwo\r\n\x00\xff\r\n\r\n", 16));
    AppendLogLine(QString(), "nothing");  // no name: nothing, silently
    EXPECT_TRUE(seams.boxes->shown.empty());
}

TEST(LogWriters, WriteWholeFileReplacesTheFile) {
    platform::FakeSeams seams;
    QTemporaryDir dir;
    const QString file = dir.filePath("Keldrin-Comm3.log");
    WriteWholeFile(file, "\r\nOK\r\nCalculated CHECKSUM:7B5F");
    WriteWholeFile(file, "\r\nSent\r\nDevice Reported=>: ");
    EXPECT_EQ(readAll(file), QByteArray("\r\nSent\r\nDevice Reported=>: \r\n"));
    EXPECT_TRUE(seams.boxes->shown.empty());
    WriteWholeFile(QString(), "x");
    ASSERT_EQ(seams.boxes->shown.size(), 1u);
    EXPECT_EQ(seams.boxes->shown[0].text, QStringLiteral("Error writing Log File: no file name"));
    EXPECT_EQ(seams.boxes->shown[0].icon, platform::BoxIcon::Error);
}

TEST(LogWriters, AWriteThatFailsHalfWayKeepsTheOldSummary) {
    // A file size limit makes the write fail part way, as a full disk would (for root too).
    platform::FakeSeams seams;
    QTemporaryDir dir;
    const QString file = dir.filePath("summary.log");
    WriteWholeFile(file, "\r\nOK\r\nCalculated CHECKSUM:7B5F");
    const QByteArray old = readAll(file);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    WriteWholeFile(file, QByteArray(4096, 'x'));
    AppendLogLine(dir.filePath("capture.log"), QByteArray(4096, 'y'));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(readAll(file), old);
    QStringList texts;
    for (const auto& b : seams.boxes->shown) texts << b.text;
    EXPECT_EQ(texts, (QStringList{"Error writing Log File", "Error writing Log File"}));
}

TEST(LogWriters, AFolderThatCannotBeWrittenIsReportedEvenAsRoot) {
    platform::FakeSeams seams;
    AppendLogLine("/proc/keldrin-no-such-dir/rx.log", "x");
    WriteWholeFile("/proc/keldrin-no-such-dir/summary.log", "x");
    QStringList texts;
    for (const auto& b : seams.boxes->shown) texts << b.text;
    EXPECT_EQ(texts, (QStringList{"Error writing Log File", "Error writing Log File"}));
}
