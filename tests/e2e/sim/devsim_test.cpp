// keldrin-devsim from the outside: the built program, a client on its pseudo-terminal, and the
// sample firmware of examples/.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "SimClient.h"

using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kExamples = EXAMPLES_DIR;
const std::string kOk = "OK\r\n";
const std::string kErr = "ERR\r\n";
const std::vector<std::string> kRecordAnswers = {kOk, kErr};

// The checksum the sample's checksum file carries: characters 14 to 17 of its trimmed text.
std::string expectedChecksum() {
    const std::vector<std::string> lines = fileLines(kExamples + "/board.chk");
    return lines.empty() || lines[0].size() < 17 ? std::string() : lines[0].substr(13, 4);
}

// A checksum record as the runner builds it: ":0300000312", the four digits, record checksum.
std::string checksumRecord(const std::string& digits) {
    const unsigned value = std::stoul(digits, nullptr, 16);
    const unsigned sum = 0x03 + 0x03 + 0x12 + (value >> 8) + (value & 0xFF);
    char cs[3];
    std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return ":0300000312" + digits + cs;
}

class DevSim : public ::testing::Test {
  protected:
    // Starts the device with args and opens its port; fails the test when either fails.
    void startDevice(std::vector<std::string> args,
                     const std::map<std::string, std::string>& env = {}) {
        ASSERT_TRUE(sim.start(args, env)) << "keldrin-devsim gave no device path";
        ASSERT_TRUE(client.open(sim.devicePath())) << sim.devicePath();
    }

    std::string ask(const std::string& message,
                    const std::vector<std::string>& endings = {kOk, kErr, "SYNC\r\n"}) {
        EXPECT_TRUE(client.send(message));
        return client.readUntil(endings);
    }

    std::string askChecksum() { return ask("C\r", {"\r\n"}); }

    // Sends every line of the sample firmware as the runner does, expecting "OK" for each.
    void sendFirmware(bool binary) {
        const std::vector<std::string> lines = fileLines(kExamples + "/board.hex");
        ASSERT_GT(lines.size(), 10u);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string wire = binary ? binaryLine(lines[i]) : lines[i];
            sent += wire;
            ASSERT_EQ(ask(wire, kRecordAnswers), kOk) << "line " << i + 1 << ": " << lines[i];
        }
    }

    TempDir dir;
    SimProcess sim;
    Client client;
    std::string sent;
};

TEST_F(DevSim, AnswersCommandsAndSyncBytes) {
    startDevice({});
    struct Case {
        std::string message;
        std::string answer;
    };
    const Case cases[] = {
        {"ID\r", "KELDRIN-SIM 1.0\r\nOK\r\n"},
        {"E\r", kOk},
        {"C\r", "CHECKSUM:0000\r\n"},
        {"=", "SYNC\r\n"},
        {"\x05", "SYNC\r\n"},
        {"XYZ\r", kErr},
        {"id\r", kErr},                        // commands are case-sensitive
        {"\r\n", ""},                          // a blank line is no message
        {"I", ""},                             // a command waits for its CR ...
        {"D\r", "KELDRIN-SIM 1.0\r\nOK\r\n"},  // ... however it is split
        {"E\r\nID\r", "OK\r\nKELDRIN-SIM 1.0\r\nOK\r\n"},
        {std::string(1000, 'x') + "\r", kErr},  // an over-long command is refused whole
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(client.send(c.message));
        const std::string got =
            c.answer.empty() ? client.readFor(Ms(200)) : client.readUntil({c.answer}, Ms(10000));
        EXPECT_EQ(got, c.answer) << "message " << ::testing::PrintToString(c.message);
    }
}

TEST_F(DevSim, TextFirmwareRebuildsTheImageAndChecksum) {
    const std::string image = dir.file("image.bin"), log = dir.file("rx.log");
    startDevice({"--image", image, "--log", log});
    const std::string expected = expectedChecksum();
    ASSERT_EQ(expected.size(), 4u) << "board.chk carries no checksum";

    sendFirmware(false);
    // The report the runner cuts to 13 characters starting at "CHECKSUM".
    EXPECT_EQ(askChecksum(), "CHECKSUM:" + expected + "\r\n");
    EXPECT_EQ(ask(checksumRecord(expected)), kOk);
    const std::string wrong = expected == "0000" ? "0001" : "0000";
    EXPECT_EQ(ask(checksumRecord(wrong)), kErr);

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_EQ(readFile(image), readFile(kExamples + "/board-data.txt"));
    EXPECT_EQ(readFile(log), sent + "C\r" + checksumRecord(expected) + checksumRecord(wrong));
}

TEST_F(DevSim, SampleProjectOrderTextEraseBinaryEndsWithTheExpectedChecksum) {
    // The sample project sends the firmware as text, erases, sends it again as binary records and
    // checks the sum with a checksum record: the last report must equal board.chk.
    const std::string image = dir.file("image.bin"), log = dir.file("rx.log");
    startDevice({"--image", image, "--log", log});
    const std::string expected = expectedChecksum();

    sendFirmware(false);
    EXPECT_EQ(askChecksum(), "CHECKSUM:" + expected + "\r\n");
    EXPECT_EQ(ask("E\r"), kOk);
    EXPECT_EQ(askChecksum(), "CHECKSUM:0000\r\n");
    sent.clear();
    sendFirmware(true);
    EXPECT_EQ(ask(checksumRecord(expected)), kOk);
    EXPECT_EQ(askChecksum(), "CHECKSUM:" + expected + "\r\n");

    EXPECT_EQ(sim.stop(SIGINT), 0);
    EXPECT_EQ(readFile(image), readFile(kExamples + "/board-data.txt"));
    // The second pass went over the wire as "@" and raw bytes: the extended address record
    // that opens the file, for one.
    const std::string wire = readFile(log);
    EXPECT_NE(wire.find(sent), std::string::npos);
    EXPECT_EQ(sent.substr(0, 8), std::string("@\x02\x00\x00\x04\x00\x00\xFA", 8));
}

TEST_F(DevSim, ChecksumIsTheImageEveryAddressOnceTheLastWriteWinning) {
    // A real device's memory holds each address once: a record resent after a lost answer, or
    // the same firmware sent once as text and once as binary records, must not count twice.
    const std::string image = dir.file("image.bin");
    startDevice({"--image", image});
    const std::string expected = expectedChecksum();
    sendFirmware(false);
    sendFirmware(true);
    EXPECT_EQ(askChecksum(), "CHECKSUM:" + expected + "\r\n");
    EXPECT_EQ(ask(checksumRecord(expected)), kOk);

    EXPECT_EQ(ask("E\r"), kOk);
    EXPECT_EQ(ask(":0100000011EE"), kOk);
    EXPECT_EQ(ask(":0100000011EE"), kOk);  // resent: still 11
    EXPECT_EQ(askChecksum(), "CHECKSUM:0011\r\n");
    EXPECT_EQ(ask(":020000002233A9"), kOk);  // overwrites 0000 with 22, adds 33 at 0001
    EXPECT_EQ(askChecksum(), "CHECKSUM:0055\r\n");
    EXPECT_EQ(ask(checksumRecord("0055")), kOk);
    EXPECT_EQ(ask(checksumRecord("0066")), kErr);
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(image), std::string("\x22\x33", 2));
}

TEST_F(DevSim, ChecksEachRecord) {
    startDevice({});
    struct Case {
        const char* what;
        std::string message;
        std::string answer;
    };
    const Case cases[] = {
        {"data record", ":0300300002337A1E", kOk},
        {"lower-case digits", ":0300300002337a1e", kOk},
        {"bad record checksum", ":0300300002337A1F", kErr},
        {"unknown type", ":00000006FA", kErr},
        {"end of file with data", ":0100000100FE", kErr},
        {"end of file", ":00000001FF", kOk},
        {"extended linear, wrong length", ":0100000400FB", kErr},
        {"start segment address", ":0400000300003800C1", kOk},
        {"start linear address", ":04000005000000CD2A", kOk},
        {"type 03, three bytes not a checksum record", ":03000003130000E7", kErr},
        {"binary data record", binaryLine(":0300300002337A1E"), kOk},
        {"binary, bad checksum", binaryLine(":0300300002337A1F"), kErr},
        {"two records in one write", ":00000001FF:00000001FF", kOk + kOk},
        // A text record cut by the next one is refused; the next one still counts.
        {"cut text record", ":0300300002:00000001FF", kErr + kOk},
        // A command right after a cut record is still understood.
        {"command after a cut record", ":03003000ID\r", kErr + "KELDRIN-SIM 1.0\r\nOK\r\n"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(client.send(c.message));
        EXPECT_EQ(client.readUntil({c.answer}, Ms(10000)), c.answer) << c.what;
    }
    // A record that arrives in pieces is answered once it is whole, and only then.
    ASSERT_TRUE(client.send(":03003000"));
    EXPECT_EQ(client.readFor(Ms(150)), "");
    EXPECT_EQ(ask("02337A1E"), kOk);
    ASSERT_TRUE(client.send(binaryLine(":0300300002337A1E").substr(0, 3)));
    EXPECT_EQ(client.readFor(Ms(150)), "");
    EXPECT_EQ(ask(binaryLine(":0300300002337A1E").substr(3)), kOk);
}

TEST_F(DevSim, ImageFollowsSegmentAddressesAndFillsGaps) {
    const std::string image = dir.file("image.bin");
    startDevice({"--image", image});
    // Segment 0x0100 puts offset 0x0010 at 0x1010; after the end-of-file record the next
    // record is at its plain address 0x1014, leaving two unwritten bytes between.
    EXPECT_EQ(ask(":020000020100FB"), kOk);
    EXPECT_EQ(ask(":02001000A1B29B"), kOk);
    EXPECT_EQ(ask(":00000001FF"), kOk);
    EXPECT_EQ(ask(":01101400C318"), kOk);
    EXPECT_EQ(askChecksum(), "CHECKSUM:0216\r\n");  // A1 + B2 + C3
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(image), std::string("\xA1\xB2\xFF\xFF\xC3", 5));
}

// A text record with its record checksum.
std::string record(unsigned type, unsigned address, const std::string& data) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                  type);
    std::string text = head;
    unsigned sum = data.size() + (address >> 8) + (address & 0xFF) + type;
    for (unsigned char b : data) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
        sum += b;
    }
    char cs[3];
    std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + cs;
}

TEST_F(DevSim, HoldsAtMost64MiBOfImage) {
    startDevice({});
    // One byte at the start of each 4 KiB page, one page more than the device holds.
    const unsigned pages = 16384;
    std::string burst;
    for (unsigned page = 0; page <= pages; ++page) {
        const unsigned address = page * 4096;
        if ((address & 0xFFFF) == 0)
            burst += record(0x04, 0, std::string{char(address >> 24), char(address >> 16)});
        burst += record(0x00, address & 0xFFFF, "\x5A");
    }
    ASSERT_TRUE(client.send(burst));
    const std::size_t extended = pages / 16 + 1;
    std::string answers;
    const std::size_t expectedSize = (extended + pages) * kOk.size() + kErr.size();
    const auto deadline = Clock::now() + Ms(20000);
    while (answers.size() < expectedSize && Clock::now() < deadline)
        answers += client.readFor(Ms(50));
    ASSERT_EQ(answers.size(), expectedSize);
    EXPECT_EQ(answers.find(kErr), answers.size() - kErr.size()) << "only the last page is refused";
    // Pages already held still take data.
    EXPECT_EQ(ask(record(0x04, 0, std::string(2, '\0'))), kOk);
    EXPECT_EQ(ask(record(0x00, 0x0001, "\x01")), kOk);
}

TEST_F(DevSim, AClientThatNeverReadsLosesAnswersNotTheDevice) {
    startDevice({});
    // Far more sync bytes than the device keeps answers for, sent without reading any answer.
    const std::size_t sent = 300000;
    ASSERT_TRUE(client.send(std::string(sent, '=')));
    // Answers now wait for a reader: the device must wait for room, not spin.
    const Ms before = sim.cpuTime();
    std::this_thread::sleep_for(Ms(500));
    EXPECT_LT(sim.cpuTime() - before, Ms(100));
    std::string answers;
    // The device keeps what it could not send yet; a second without any byte more is the end.
    for (std::string more = client.readFor(Ms(1000)); !more.empty();
         more = client.readFor(Ms(1000)))
        answers += more;
    const std::string sync = "SYNC\r\n";
    ASSERT_EQ(answers.size() % sync.size(), 0u);
    EXPECT_LT(answers.size() / sync.size(), sent);
    EXPECT_GT(answers.size() / sync.size(), sent / 2);
    EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");
}

TEST_F(DevSim, EmptyImageIsAnEmptyFile) {
    const std::string image = dir.file("image.bin");
    writeFile(image, "old content");
    startDevice({"--image", image});
    EXPECT_EQ(ask(":020000040001F9"), kOk);
    EXPECT_EQ(sim.stop(), 0);
    ASSERT_TRUE(std::filesystem::exists(image));
    EXPECT_EQ(readFile(image), "");
}

TEST_F(DevSim, LogKeepsEveryByteAsReceived) {
    const std::string log = dir.file("rx.log");
    startDevice({"--log", log});
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    all += "\r";
    ASSERT_TRUE(client.send(all));
    // The log is written as the device reads.
    const auto deadline = Clock::now() + Ms(10000);
    while (readFile(log).size() < all.size() && Clock::now() < deadline) client.readFor(Ms(20));
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(log), all);
}

TEST_F(DevSim, SilentFromTheNthMessage) {
    startDevice({"--silent-from", "3"});
    EXPECT_EQ(ask("E\r"), kOk);
    EXPECT_EQ(ask("="), "SYNC\r\n");
    ASSERT_TRUE(client.send("ID\r"));
    EXPECT_EQ(client.readFor(Ms(300)), "");
    ASSERT_TRUE(client.send(":00000001FF"));
    EXPECT_EQ(client.readFor(Ms(300)), "");
}

TEST_F(DevSim, ErrForTheNthRecordWhichIsNotApplied) {
    const std::string image = dir.file("image.bin");
    startDevice({"--err-record", "2", "--image", image});
    EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");  // commands are not records
    EXPECT_EQ(ask(":0100000011EE"), kOk);
    EXPECT_EQ(ask(":0100010022DC"), kErr);
    EXPECT_EQ(ask(":0100020033CA"), kOk);
    EXPECT_EQ(askChecksum(), "CHECKSUM:0044\r\n");
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(image), std::string("\x11\xFF\x33", 3));
}

TEST_F(DevSim, LowerCaseOnce) {
    {
        SCOPED_TRACE("--lowercase-once");
        startDevice({"--lowercase-once"});
        EXPECT_EQ(ask("ID\r", {"ok\r\n"}), "keldrin-sim 1.0\r\nok\r\n");
        EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");
        sim.stop();
    }
    {
        SCOPED_TRACE("--lowercase-at 2");
        SimProcess other;
        ASSERT_TRUE(other.start({"--lowercase-at", "2"}));
        ASSERT_TRUE(client.open(other.devicePath()));
        EXPECT_EQ(ask("E\r"), kOk);
        EXPECT_EQ(ask("C\r", {"\r\n"}), "checksum:0000\r\n");
        EXPECT_EQ(ask("E\r"), kOk);
    }
}

TEST_F(DevSim, DelaysEveryAnswer) {
    startDevice({"--delay", "300"});
    for (int i = 0; i < 2; ++i) {
        const auto start = Clock::now();
        ASSERT_TRUE(client.send("E\r"));
        EXPECT_EQ(client.readUntil({kOk}), kOk);
        EXPECT_GE(Clock::now() - start, Ms(300));
    }
}

TEST_F(DevSim, SplitsAnswersIntoSingleBytes) {
    // Pauses long enough that even a reader on a busy machine takes the bytes one by one.
    startDevice({"--split-ms", "300"});
    const auto start = Clock::now();
    ASSERT_TRUE(client.send("E\r"));
    const std::vector<std::string> chunks = client.readChunks(4, Ms(10000));
    EXPECT_GE(Clock::now() - start, Ms(3 * 300));
    std::string whole;
    for (const std::string& c : chunks) whole += c;
    EXPECT_EQ(whole, kOk);
    // Each byte comes on its own; only a reader held up for longer than the pause could find
    // two of them together, so allow one such merge.
    EXPECT_GE(chunks.size(), 3u);
}

TEST_F(DevSim, PulledCableAfterNBytes) {
    const std::string map = dir.file("Keldrin.ports"), log = dir.file("rx.log");
    startDevice({"--pull-after", "5", "--log", log, "--com", "9"}, {{"KELDRIN_PORTS", map}});
    EXPECT_EQ(readFile(map), "COM9=" + sim.devicePath() + "\n");
    ASSERT_TRUE(client.send("ID\rE\rC\r"));
    EXPECT_TRUE(client.hangsUp(Ms(10000)));
    EXPECT_EQ(sim.waitExit(Ms(10000)), 0);
    EXPECT_EQ(readFile(log), "ID\rE\r");
    EXPECT_EQ(readFile(map), "");
}

TEST_F(DevSim, ChecksumStallSendsTheWordThenNothing) {
    startDevice({"--checksum-stall"});
    EXPECT_EQ(ask("E\r"), kOk);
    ASSERT_TRUE(client.send("C\r"));
    // The runner's checksum wait needs 13 characters; it gets 8 and no more.
    EXPECT_EQ(client.readUntil({"CHECKSUM"}, Ms(10000)), "CHECKSUM");
    ASSERT_TRUE(client.send("ID\r"));
    EXPECT_EQ(client.readFor(Ms(300)), "");
}

TEST_F(DevSim, PortMapEntryWhileRunningOtherLinesKept) {
    const std::string map = dir.file("ports");
    writeFile(map,
              "# bench ports\n"
              "com7 = /dev/old  # left over\n"
              "COM3=/dev/ttyUSB0\n"
              "\n"
              "COM7=/dev/older\n");
    startDevice({"--com", "7"}, {{"KELDRIN_PORTS", map}});
    const std::string dev = sim.devicePath();
    EXPECT_EQ(readFile(map), "# bench ports\nCOM7=" + dev + " # left over\nCOM3=/dev/ttyUSB0\n\n");
    EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(map), "# bench ports\nCOM3=/dev/ttyUSB0\n\n");
}

TEST_F(DevSim, PortMapEntryTakenOverMeanwhileIsNotRemoved) {
    const std::string map = dir.file("ports");
    startDevice({"--com", "12"}, {{"KELDRIN_PORTS", map}});
    writeFile(map, "COM12=/dev/ttyACM0\n");
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(readFile(map), "COM12=/dev/ttyACM0\n");
}

TEST_F(DevSim, PortMapBesideTheProgramWithoutKeldrinPorts) {
    // A copy of the program in a folder of its own, so the map lands in that folder.
    const std::string program = dir.file("keldrin-devsim");
    std::filesystem::copy_file(DEVSIM_PATH, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    ASSERT_TRUE(sim.start({"--com", "200"}, {{"KELDRIN_PORTS", ""}}, program));
    EXPECT_EQ(readFile(dir.file("Keldrin.ports")), "COM200=" + sim.devicePath() + "\n");
    EXPECT_EQ(sim.stop(SIGINT), 0);
    EXPECT_EQ(readFile(dir.file("Keldrin.ports")), "");
}

TEST_F(DevSim, EachEndingSignalCleansUp) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        const std::string map = dir.file("ports"), image = dir.file("image.bin");
        writeFile(map, "# bench\n");
        std::filesystem::remove(image);
        SimProcess one;
        ASSERT_TRUE(one.start({"--com", "5", "--image", image}, {{"KELDRIN_PORTS", map}}));
        EXPECT_EQ(readFile(map), "# bench\nCOM5=" + one.devicePath() + "\n");
        EXPECT_EQ(one.stop(sig), 0);
        EXPECT_EQ(readFile(map), "# bench\n");
        EXPECT_TRUE(std::filesystem::exists(image));
    }
}

TEST_F(DevSim, OnceEndsWhenTheClientCloses) {
    startDevice({"--once"});
    EXPECT_EQ(ask("E\r"), kOk);
    client.close();
    EXPECT_EQ(sim.waitExit(Ms(10000)), 0);
}

TEST_F(DevSim, WithoutOnceServesTheNextClientRawFreeAndFresh) {
    startDevice({});
    // The answer reaches the port but is never read; the client also takes the port for
    // itself and leaves echo switched on, as a careless terminal program might.
    ASSERT_TRUE(client.send("E\r"));
    pollfd answer{client.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&answer, 1, 10000), 1) << "no answer came";
    ASSERT_EQ(::ioctl(client.fd(), TIOCEXCL), 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(client.fd(), &t), 0);
    t.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(::tcsetattr(client.fd(), TCSANOW, &t), 0);
    client.close();

    // The device frees the port as soon as it has seen the client go (a client that reopens
    // within microseconds can still find it taken; Keldrin clears the flag itself on close).
    int exclusive = 1;
    const auto deadline = Clock::now() + Ms(10000);
    while (exclusive != 0 && Clock::now() < deadline) {
        const int fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        ASSERT_EQ(::tcgetattr(fd, &t), 0);  // as this client finds the line, untouched
        ::close(fd);
        if (exclusive != 0) std::this_thread::sleep_for(Ms(10));
    }
    EXPECT_EQ(exclusive, 0) << "a client that is not root would get EBUSY";
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u) << "the line must be raw again";

    ASSERT_TRUE(client.open(sim.devicePath()));
    // Nothing of the last session is waiting, and nothing sent comes back as an echo.
    EXPECT_EQ(client.readFor(Ms(200)), "");
    EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");
    EXPECT_TRUE(sim.running());
    EXPECT_EQ(sim.waitExit(Ms(200)), -1);
}

TEST_F(DevSim, OtherProgramsLookingInDoNotCutOffTheClient) {
    // Port pickers on the same machine open and close every port they list. The device is
    // held still while its client opens the port and another program looks in and leaves, so
    // that it learns of all three at once (the kernel merges the two opens into one event).
    ASSERT_TRUE(sim.start({}));
    ASSERT_EQ(::kill(sim.pid(), SIGSTOP), 0);
    ASSERT_TRUE(client.open(sim.devicePath()));
    const int look = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(look, 0);
    ::close(look);
    ASSERT_EQ(::kill(sim.pid(), SIGCONT), 0);
    EXPECT_EQ(ask("ID\r"), "KELDRIN-SIM 1.0\r\nOK\r\n");

    // And a program that opens the port after the client and leaves does not either.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ::close(fd);
        EXPECT_EQ(ask("E\r"), kOk) << i;
    }
}

TEST(DevSimCommandLine, RefusesBadArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"--com", "0"},
        {"--com", "256"},
        {"--com", "x"},
        {"--delay", "-1"},
        {"--silent-from", "0"},
        {"--pull-after", "3k"},
        {"--bogus"},
        {"stray"},
        {"--image"},
    };
    for (const auto& args : cases) {
        const RunResult r = runToEnd(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_NE(r.err.find("keldrin-devsim"), std::string::npos) << args[0];
    }
}

TEST(DevSimCommandLine, HelpNamesEveryOption) {
    const RunResult r = runToEnd({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* option : {"--com", "--once", "--log", "--image", "--silent-from",
                               "--err-record", "--lowercase-once", "--lowercase-at", "--delay",
                               "--split-ms", "--pull-after", "--checksum-stall"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(DevSimCommandLine, UnwritableLogIsReportedBeforeStarting) {
    const RunResult r = runToEnd({"--log", "/nonexistent-folder/rx.log"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("/nonexistent-folder/rx.log"), std::string::npos);
}

}  // namespace
