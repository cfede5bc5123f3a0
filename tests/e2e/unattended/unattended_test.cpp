// `keldrin <port> <project>` as a production line calls it: the built program, offscreen,
// against keldrin-devsim, judged by its exit status and the run summary file beside it.

#include <pty.h>
#include <unistd.h>

#include "UnattendedFixture.h"
#include "support/OpenCounter.h"

using keldrin::testkit::readAll;

TEST_F(Unattended, APassingProjectWritesItsSummaryAndEndsWithZero) {
    auto& dev = device(3);
    const Result r = run({"3", exampleProject().toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readAll(summaryPath(3)), QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
    // Standard error names the summary for the production script, and says nothing else.
    EXPECT_EQ(r.err, summaryPath(3).toStdString() + "\n");
    EXPECT_EQ(dev.stop(), 0);
    EXPECT_EQ(readAll(imagePath(3)), readAll(EXAMPLES_DIR "/board-data.txt"));
}

TEST_F(Unattended, AFailingRowIsTheSecondLineAndTheStatusIsOne) {
    device(4, {"--silent-from", "2"});
    const QString project = dir.filePath("fail.cmd");
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "1"},
                                    {"erase", "Command", "E!", "OK", "ERR", "1"},
                                    {"sum", "Command", "C!", "CHECKSUM", "ERR", "1"}}));
    const Result r = run({"4", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(4)),
              QByteArray("\r\nCommunication Error\r\nDevice Reported=>: \r\n"));
}

TEST_F(Unattended, AFailureAfterARowThatSendsNothingIsStillTheVerdict) {
    device(5);
    const QString project = dir.filePath("mend.cmd");
    // The mode switch keeps an empty Status; the failing row after it decides the summary.
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "1"},
                                    {"quiet", "IntCommand_NoLog", "off", "", "", ""},
                                    {"bad", "Command", "XYZ!", "OK", "ERR", "1"}}));
    const Result r = run({"5", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(5)), QByteArray("\r\nRxNAck\r\nDevice Reported=>: \r\n"));
}

TEST_F(Unattended, APulledDeviceEndsTheRunWithItsSummary) {
    device(6, {"--pull-after", "600"});
    // A run that hung would be killed at the limit and not end with 1.
    const Result r = run({"6", exampleProject().toStdString()}, 90);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QByteArray summary = readAll(summaryPath(6));
    EXPECT_TRUE(summary.startsWith("\r\n")) << summary.constData();
    EXPECT_TRUE(summary.endsWith("\r\nDevice Reported=>: \r\n")) << summary.constData();
}

TEST_F(Unattended, ArgumentsThatCannotWorkEndAtOnceWithTwo) {
    const std::string project = exampleProject().toStdString();
    const std::vector<std::vector<std::string>> cases{
        {"0", project},
        {"256", project},
        {"COM3", project},
        {"3"},
        {"3", dir.filePath("missing.cmd").toStdString()},
        {"", project}};
    // "At once": without opening a port or waiting for anything; one that waited would be
    // killed at the limit and not end with 2. How long a start takes is a benchmark's figure.
    for (const auto& args : cases) {
        const Result r = run(args, 30);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("keldrin: ", 0), 0u) << r.err;
    }
}

TEST_F(Unattended, AMissingFirmwareFileIsSaidAndEndsWithTwo) {
    device(7);
    const QString project = dir.filePath("nofw.cmd");
    writeFile(project, projectText({{"fw", "File", "C:\\work\\gone.hex", "OK", "ERR", "2"}}));
    const Result r = run({"7", project.toStdString()}, 20);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("File not exist!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.filePath("gone.hex").toStdString()), std::string::npos) << r.err;
}

TEST_F(Unattended, FourInstancesOnFourPortsKeepApart) {
    const QString project = exampleProject();
    for (int com : {11, 12, 13, 14}) device(com);
    std::vector<std::thread> lines;
    std::vector<Result> results(4);
    for (int i = 0; i < 4; ++i)
        lines.emplace_back([&, i] {
            results[size_t(i)] = run({std::to_string(11 + i), project.toStdString()}, 90);
        });
    for (auto& t : lines) t.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(results[size_t(i)].exitCode, 0)
            << results[size_t(i)].err << readAll(summaryPath(11 + i)).toStdString();
        EXPECT_EQ(readAll(summaryPath(11 + i)),
                  QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
    }
    for (auto& d : devices) EXPECT_EQ(d->stop(), 0);
    for (int com : {11, 12, 13, 14})
        EXPECT_EQ(readAll(imagePath(com)), readAll(EXAMPLES_DIR "/board-data.txt")) << com;
}

TEST_F(Unattended, ARunOpensOnlyItsOwnDevice) {
    auto& dev = device(2);
    // Two more boards on the same computer, whose lines this run must leave alone: every open
    // raises DTR and RTS, which resets many boards.
    struct Pty {
        int master = -1, slave = -1;
        std::string path;
        Pty() {
            char name[256] = {};
            if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
        }
        ~Pty() {
            ::close(master);
            ::close(slave);
        }
    } one, three;
    ASSERT_FALSE(one.path.empty());
    ASSERT_FALSE(three.path.empty());
    {
        QFile map(QString::fromStdString(ports));
        ASSERT_TRUE(map.open(QIODevice::Append));
        map.write(QByteArray("COM1=") + one.path.c_str() + "\nCOM3=" + three.path.c_str() + "\n");
    }
    const QString project = dir.filePath("who.cmd");
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "2"}}));

    keldrin::testkit::OpenCounter opens({one.path, dev.devicePath(), three.path});
    ASSERT_TRUE(opens.ok());
    const Result r = run({"2", project.toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(opens.opens(one.path), 0);
    EXPECT_EQ(opens.opens(three.path), 0);
    EXPECT_GE(opens.opens(dev.devicePath()), 1);
}
