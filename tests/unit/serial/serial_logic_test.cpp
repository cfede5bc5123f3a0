// Pure logic of the serial engine: the ring, the control block both ways, the settings text,
// the XON/XOFF limits, the port's error texts and the port map file.

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "serial/SioCircularBuffer.h"
#include "serial/SioComPort.h"
#include "serial/platform/PortMap.h"
#include "serial/platform/TermDevice.h"

using namespace keldrin::serial;

namespace {

// Reads the ring's content the way the write thread does: contiguous blocks from the read
// position, consumed one after the other.
std::string drainRing(TSioCircularBuffer& ring, std::vector<std::size_t>* blocks = nullptr) {
    std::string out;
    while (ring.UsedCount() > 0) {
        const std::size_t n = ring.ContiguousReadable();
        out.append(reinterpret_cast<const char*>(ring.Data() + ring.ReadPosition()), n);
        if (blocks) blocks->push_back(n);
        EXPECT_TRUE(ring.Consume(n));
    }
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

}  // namespace

// ---- ring buffer ----

TEST(CircularBuffer, FillsExactlyAndRefusesWhatDoesNotFit) {
    TSioCircularBuffer ring(8);
    EXPECT_FALSE(ring.Append("x", 0)) << "an empty append fails";
    EXPECT_EQ(ring.UsedCount(), 0u);
    ASSERT_TRUE(ring.Append("abc", 3));
    EXPECT_FALSE(ring.Append("123456", 6)) << "more than the free count";
    EXPECT_EQ(ring.UsedCount(), 3u) << "a refused append changes nothing";
    ASSERT_TRUE(ring.Append("defgh", 5));
    EXPECT_TRUE(ring.IsFull());
    EXPECT_EQ(ring.UsedCount(), 8u);
    EXPECT_EQ(ring.FreeCount(), 0u);
    EXPECT_FALSE(ring.Append("z", 1));
    EXPECT_FALSE(ring.Consume(9));
    EXPECT_EQ(drainRing(ring), "abcdefgh");
    EXPECT_EQ(ring.UsedCount(), 0u);
    EXPECT_FALSE(ring.IsFull());
}

TEST(CircularBuffer, DataAcrossTheEndLeavesInTwoBlocksInOrder) {
    TSioCircularBuffer ring(10);
    ASSERT_TRUE(ring.Append("0123456", 7));
    ASSERT_TRUE(ring.Consume(6));            // read position 6, one byte left
    ASSERT_TRUE(ring.Append("ABCDEFG", 7));  // wraps after 3 bytes
    EXPECT_EQ(ring.UsedCount(), 8u);
    std::vector<std::size_t> blocks;
    EXPECT_EQ(drainRing(ring, &blocks), "6ABCDEFG");
    EXPECT_EQ(blocks, (std::vector<std::size_t>{4, 4}));
}

TEST(CircularBuffer, FullRingWithEqualPositionsAndClear) {
    TSioCircularBuffer ring(4);
    ASSERT_TRUE(ring.Append("ab", 2));
    ASSERT_TRUE(ring.Consume(2));
    ASSERT_TRUE(ring.Append("cdef", 4));  // full, positions equal at 2
    EXPECT_TRUE(ring.IsFull());
    EXPECT_EQ(ring.ContiguousReadable(), 2u);
    EXPECT_TRUE(ring.Consume(0));
    EXPECT_TRUE(ring.IsFull()) << "consuming nothing keeps it full";
    ring.Clear();
    EXPECT_EQ(ring.UsedCount(), 0u);
    EXPECT_FALSE(ring.IsFull());
    ASSERT_TRUE(ring.Append("wxyz", 4));
    EXPECT_EQ(drainRing(ring), "wxyz");
}

// ---- control block ----

struct FlagCase {
    TSioFlowControl flow;
    bool dtr, rts;
    TSioComOptions options;
    std::uint32_t flags;
};

TEST(PortDcb, FlagsFollowFlowControlLinesAndOptions) {
    const FlagCase cases[] = {
        {fwNone, true, true, 0, 0x1011},
        {fwRtsCts, true, true, 0, 0x2015},
        {fwDtrDsr, true, true, 0, 0x1029},
        {fwXOnXOff, true, true, 0, 0x1311},
        {fwNone, false, false, 0, 0x0001},
        {fwNone, false, true, OptionBit(coParityCheck) | OptionBit(coStripNull), 0x1803},
        {fwNone, true, false,
         OptionBit(coDsrSensitivity) | OptionBit(coIgnoreXOff) | OptionBit(coErrorChar), 0x04D1},
    };
    for (const auto& c : cases) {
        TSioComPort port;
        port.SetDTR(c.dtr);
        port.SetRTS(c.rts);
        port.SetOptions(c.options);
        port.SetFlowControl(c.flow);
        EXPECT_EQ(port.GetDcb().Flags, c.flags)
            << "flow " << c.flow << " dtr " << c.dtr << " rts " << c.rts;
    }
}

TEST(PortDcb, FieldsOfTheWindowsPort) {
    TSioComPort port;
    port.SetBaudRate(br38400);
    port.SetStopbits(sbTwo);
    port.SetInBufSize(1966080);
    const Dcb& d = port.GetDcb();
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 38400u);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 2);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);
    EXPECT_EQ(d.Flags, 0x1011u);
    // The stored record is 28 bytes, little-endian, in the driver's field order.
    std::uint8_t raw[28];
    std::memcpy(raw, &d, sizeof raw);
    EXPECT_EQ(raw[0], 28);
    EXPECT_EQ(raw[4] | raw[5] << 8, 38400);
    EXPECT_EQ(raw[18], 8);   // ByteSize
    EXPECT_EQ(raw[20], 2);   // StopBits
    EXPECT_EQ(raw[21], 17);  // XonChar
}

TEST(PortDcb, UserRateAndOrdinalsOutsideTheirTables) {
    TSioComPort port;
    port.SetUserBaudRate(250000);
    EXPECT_EQ(port.BaudRate(), brUser);
    EXPECT_EQ(port.GetDcb().BaudRate, 250000u);
    port.SetBaudRate(br9600);
    EXPECT_EQ(port.UserBaudRate(), 0) << "a listed rate drops the user rate";
    // A hand-edited project file: each out-of-range ordinal becomes the class default.
    port.SetBaudRate(static_cast<TSioBaudrate>(20));
    port.SetDatabits(static_cast<TSioDatabits>(-1));
    port.SetParity(static_cast<TSioParity>(9));
    port.SetStopbits(static_cast<TSioStopbits>(3));
    port.SetFlowControl(static_cast<TSioFlowControl>(4));
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.Databits(), db8);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.Stopbits(), sbOne);
    EXPECT_EQ(port.FlowControl(), fwNone);
    EXPECT_EQ(port.SettingsText(), "COM0: 115200,N,8,1");
}

struct ApplyCase {
    const char* what;
    std::uint32_t baud;
    std::uint8_t byteSize, parity, stopBits;
    std::uint32_t flags;
    TSioBaudrate expBaud;
    std::int32_t expUser;
    TSioDatabits expBits;
    TSioParity expParity;
    TSioStopbits expStop;
    TSioFlowControl expFlow;
    TSioComOptions expOptions;
};

TEST(PortDcb, ApplyDcbReadsEveryField) {
    const ApplyCase cases[] = {
        {"listed rate", 9600, 8, 0, 0, 0x1011, br9600, 0, db8, paNone, sbOne, fwNone, 0},
        {"user rate", 250000, 7, 2, 1, 0x1011, brUser, 250000, db7, paEven, sbOneAndHalf, fwNone,
         0},
        {"dtr/dsr before rts/cts", 115200, 8, 0, 2, 0x2004 | 0x28 | 1, br115200, 0, db8, paNone,
         sbTwo, fwDtrDsr, 0},
        {"rts/cts", 57600, 8, 0, 0, 0x2005, br57600, 0, db8, paNone, sbOne, fwRtsCts, 0},
        {"xon/xoff and options", 300, 5, 3, 0, 0x0B13, br300, 0, db5, paMark, sbOne, fwXOnXOff,
         OptionBit(coParityCheck) | OptionBit(coStripNull)},
        {"byte size 9, parity 7, stop 5", 110, 9, 7, 5, 1, br110, 0, db8, paNone, sbOne, fwNone, 0},
        {"rate 0 is the user rate", 0, 8, 0, 0, 1, brUser, 0, db8, paNone, sbOne, fwNone, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TSioComPort port;
        Dcb d{};
        d.BaudRate = c.baud;
        d.ByteSize = c.byteSize;
        d.Parity = c.parity;
        d.StopBits = c.stopBits;
        d.Flags = c.flags;
        d.XonChar = 0x11;
        d.XoffChar = 0x13;
        d.XonLim = 100;
        d.XoffLim = 200;
        port.ApplyDcb(d);
        EXPECT_EQ(port.BaudRate(), c.expBaud);
        EXPECT_EQ(port.UserBaudRate(), c.expUser);
        EXPECT_EQ(port.Databits(), c.expBits);
        EXPECT_EQ(port.Parity(), c.expParity);
        EXPECT_EQ(port.Stopbits(), c.expStop);
        EXPECT_EQ(port.FlowControl(), c.expFlow);
        EXPECT_EQ(port.Options(), c.expOptions);
        EXPECT_EQ(port.XOnLim(), 100);
        EXPECT_EQ(port.XOffLim(), 200);
        EXPECT_EQ(port.GetDcb().BaudRate, c.baud) << "the rebuilt block keeps the rate";
    }
}

TEST(PortDcb, ApplyDcbRefusesAWrongLength) {
    TSioComPort port;
    Dcb d{};
    d.DCBlength = 27;
    d.BaudRate = 9600;
    try {
        port.ApplyDcb(d);
        FAIL() << "accepted";
    } catch (const ESioComPortError& e) {
        EXPECT_STREQ(e.what(), "Error setting parameters from DCB - SioComPort1 ");
    }
    EXPECT_EQ(port.BaudRate(), br115200);
}

// ---- control block onto terminal attributes ----

TEST(TermiosMapping, FramingFlowAndRawLine) {
    struct Case {
        const char* what;
        std::uint8_t size, parity, stop;
        std::uint32_t flags;
        tcflag_t cflags, iflags;  // expected under the masks below
    } cases[] = {
        {"8N1", 8, NOPARITY, ONESTOPBIT, 0x1011, CS8, 0},
        {"7E2", 7, EVENPARITY, TWOSTOPBITS, 0x1011, CS7 | PARENB | CSTOPB, 0},
        {"6O1", 6, ODDPARITY, ONESTOPBIT, 0x1011, CS6 | PARENB | PARODD, 0},
        {"5M1.5", 5, MARKPARITY, ONE5STOPBITS, 0x1011, CS5 | PARENB | PARODD | CMSPAR | CSTOPB, 0},
        {"8S1", 8, SPACEPARITY, ONESTOPBIT, 0x1011, CS8 | PARENB | CMSPAR, 0},
        {"rts/cts", 8, NOPARITY, ONESTOPBIT, 0x2005, CS8 | CRTSCTS, 0},
        {"xon/xoff", 8, NOPARITY, ONESTOPBIT, 0x1311, CS8, IXON | IXOFF},
        {"parity check", 8, EVENPARITY, ONESTOPBIT, 0x1013, CS8 | PARENB, INPCK},
    };
    const tcflag_t cmask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    const tcflag_t imask = IXON | IXOFF | INPCK;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        termios t{};
        t.c_iflag = ICRNL | IXON | ISTRIP;  // a cooked line to start from
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ECHO | ICANON | ISIG;
        Dcb d{};
        d.BaudRate = 9600;
        d.ByteSize = c.size;
        d.Parity = c.parity;
        d.StopBits = c.stop;
        d.Flags = c.flags;
        d.XonChar = 0x11;
        d.XoffChar = 0x13;
        ASSERT_TRUE(DcbToTermios(d, t));
        EXPECT_EQ(t.c_cflag & cmask, c.cflags);
        EXPECT_EQ(t.c_iflag & imask, c.iflags);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag & (ICRNL | ISTRIP), 0u) << "no translation on a raw line";
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    }
}

TEST(TermiosMapping, WhatALinuxTerminalCannotDoIsRefused) {
    struct Case {
        const char* what;
        std::uint8_t size, parity, stop;
        std::uint32_t flags, baud;
    } cases[] = {
        {"4 data bits", 4, NOPARITY, ONESTOPBIT, 0x1011, 9600},
        {"9 data bits", 9, NOPARITY, ONESTOPBIT, 0x1011, 9600},
        {"parity 5", 8, 5, ONESTOPBIT, 0x1011, 9600},
        {"stop bits 3", 8, NOPARITY, 3, 0x1011, 9600},
        {"dtr/dsr handshake", 8, NOPARITY, ONESTOPBIT, 0x1029, 9600},
        {"rate 0", 8, NOPARITY, ONESTOPBIT, 0x1011, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        termios t{};
        t.c_cflag = CS7 | PARENB;
        const termios before = t;
        Dcb d{};
        d.BaudRate = c.baud;
        d.ByteSize = c.size;
        d.Parity = c.parity;
        d.StopBits = c.stop;
        d.Flags = c.flags;
        EXPECT_FALSE(DcbToTermios(d, t));
        EXPECT_EQ(t.c_cflag, before.c_cflag) << "a refusal changes nothing";
    }
    EXPECT_TRUE(IsStandardBaudRate(115200));
    for (std::uint32_t r : {14400u, 56000u, 128000u, 256000u, 250000u})
        EXPECT_FALSE(IsStandardBaudRate(r)) << r << " needs BOTHER";
}

TEST(LineEvents, FromTheDriversCountersAndModemLines) {
    LineCounters before;
    before.cts = 3;
    before.frame = 7;
    struct Case {
        const char* what;
        std::function<void(LineCounters&)> change;
        std::uint32_t events, errors;
    } cases[] = {
        {"nothing moved", [](LineCounters&) {}, 0, 0},
        {"CTS toggled twice between passes", [](LineCounters& c) { c.cts += 2; }, EV_CTS, 0},
        {"DSR", [](LineCounters& c) { c.dsr++; }, EV_DSR, 0},
        {"ring", [](LineCounters& c) { c.rng++; }, EV_RING, 0},
        {"carrier", [](LineCounters& c) { c.dcd++; }, EV_RLSD, 0},
        {"framing error", [](LineCounters& c) { c.frame++; }, EV_ERR, CE_FRAME},
        {"overrun and break", [](LineCounters& c) { c.overrun++, c.brk++; }, EV_ERR,
         CE_OVERRUN | CE_BREAK},
        {"parity", [](LineCounters& c) { c.parity++; }, EV_ERR, CE_RXPARITY},
        {"buffer overrun", [](LineCounters& c) { c.bufOverrun++; }, EV_ERR, CE_RXOVER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LineCounters now = before;
        c.change(now);
        EXPECT_EQ(CounterEvents(before, now), c.events);
        EXPECT_EQ(CounterErrors(before, now), c.errors);
    }
    EXPECT_EQ(ModemLineEvents(0, TIOCM_CTS | TIOCM_DSR), EV_CTS | EV_DSR);
    EXPECT_EQ(ModemLineEvents(TIOCM_CAR, 0), EV_RLSD);
    EXPECT_EQ(ModemLineEvents(0, TIOCM_RNG), EV_RING);
    EXPECT_EQ(ModemLineEvents(TIOCM_RNG, 0), 0u) << "the ring indicator going off is no ring";
    EXPECT_EQ(ModemLineEvents(TIOCM_DTR, TIOCM_RTS), 0u) << "our own outputs are no events";
}

// ---- settings text and limits ----

TEST(PortSettings, SettingsText) {
    struct Case {
        int com;
        TSioBaudrate baud;
        int user;
        TSioParity parity;
        TSioDatabits bits;
        TSioStopbits stop;
        const char* text;
    } cases[] = {
        {5, br38400, 0, paNone, db8, sbTwo, "COM5: 38400,N,8,2"},
        {1, brUser, 250000, paEven, db7, sbOneAndHalf, "COM1: 250000,E,7,1.5"},
        {255, br110, 0, paOdd, db4, sbOne, "COM255: 110,O,4,1"},
        {12, br256000, 0, paSpace, db5, sbTwo, "COM12: 256000,S,5,2"},
        {3, br14400, 0, paMark, db6, sbOne, "COM3: 14400,M,6,1"},
    };
    for (const auto& c : cases) {
        TSioComPort port;
        port.SetComNumber(static_cast<std::uint16_t>(c.com));
        if (c.baud == brUser)
            port.SetUserBaudRate(c.user);
        else
            port.SetBaudRate(c.baud);
        port.SetParity(c.parity);
        port.SetDatabits(c.bits);
        port.SetStopbits(c.stop);
        EXPECT_EQ(port.SettingsText(), c.text);
    }
}

TEST(PortSettings, XonXoffLimits) {
    TSioComPort port;
    port.SetInBufSize(1966080);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
    port.SetFlowControl(fwXOnXOff);
    EXPECT_EQ(port.XOnLim(), 32768);
    EXPECT_EQ(port.XOffLim(), 32768);
    EXPECT_EQ(port.GetDcb().XonLim, 32768);
    port.SetInBufSize(4096);
    EXPECT_EQ(port.XOnLim(), 1024);
    EXPECT_EQ(port.XOffLim(), 3072);
    port.SetXOnLim(1000);
    EXPECT_EQ(port.XOffLim(), 3096);
    port.SetXOffLim(4000);
    EXPECT_EQ(port.XOnLim(), 96);
    port.SetFlowControl(fwNone);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
}

// ---- errors of a closed port ----

TEST(PortErrors, TextsOfAClosedPort) {
    TSioComPort port(QStringLiteral("SioComPort1"));
    try {
        port.WriteChar('A');
        FAIL() << "a write on a closed port went through";
    } catch (const ESioComPortError& e) {
        EXPECT_STREQ(e.what(), "Write data error [requested: 1, free: 0] - SioComPort1 ");
    }
    try {
        port.Open();  // ComNumber 0
        FAIL() << "port 0 opened";
    } catch (const ESioComPortCoreError& e) {
        EXPECT_STREQ(e.what(), "Invalid port number (COM0)");
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.ReadAllWaiting().isEmpty());
    EXPECT_EQ(port.FreeOutputSpace(), 0u);
    EXPECT_EQ(port.WaitingInputCount(), 0u);
    int closes = 0;
    port.OnPortClose = [&](TSioComPort*) { ++closes; };
    port.Close();
    port.Close();
    EXPECT_EQ(closes, 2) << "OnPortClose fires once per Close, also when already closed";
}

// ---- port map ----

TEST(PortMapFile, ParsesKeysCommentsBlanksAndRepeats) {
    const std::string text =
        "# ports of line 3\n"
        "COM1=/dev/ttyUSB0\n"
        "  com2 =  /dev/ttyUSB1   # the scanner\n"
        "\n"
        "Com3=/dev/a\r\n"
        "COM3=/dev/b\n"
        "COM0=/dev/zero\n"
        "COM256=/dev/too-high\n"
        "COMX=/dev/none\n"
        "PORT4=/dev/none\n"
        "COM5\n"
        "COM6=/dev/c\n"
        "COM6=\n";
    const PortMapEntries map = ParsePortMap(text);
    const PortMapEntries expected = {{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB1"}, {3, "/dev/b"}};
    EXPECT_EQ(map, expected);
}

TEST(PortMapFile, WriterKeepsOtherLinesAndRewritesTheDecidingOne) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Keldrin.ports").toStdString();
    EXPECT_TRUE(ReadPortMap(path).empty()) << "a missing file reads as empty";
    writeFile(path,
              "# bench\n"
              "COM1=/dev/old   # first\n"
              "com1=/dev/older\n"
              "COM9=/dev/keep\n");
    ASSERT_TRUE(WritePortMapEntries(path, {{1, "/dev/new"}, {4, "/dev/four"}}));
    EXPECT_EQ(readFile(path),
              "# bench\n"
              "COM1=/dev/old   # first\n"
              "COM1=/dev/new\n"
              "COM9=/dev/keep\n"
              "COM4=/dev/four\n");
    const PortMapEntries expected = {{1, "/dev/new"}, {4, "/dev/four"}, {9, "/dev/keep"}};
    EXPECT_EQ(ReadPortMap(path), expected);
}

TEST(PortMapFile, NewDevicesTakeTheLowestFreeNumbersAndKeepThem) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Keldrin.ports").toStdString();
    writeFile(path, "COM1=/dev/ttyS0\nCOM3=/dev/ttyUSB7\n");
    const std::vector<std::string> devices = {"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB9"};
    const PortMapEntries first = AssignNewDevices(path, devices);
    const PortMapEntries expected = {
        {1, "/dev/ttyS0"}, {2, "/dev/ttyACM0"}, {3, "/dev/ttyUSB7"}, {4, "/dev/ttyUSB9"}};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(ReadPortMap(path), expected) << "the assignment is written back";
    // Seen again, in another order and with one device gone: nobody moves.
    EXPECT_EQ(AssignNewDevices(path, {"/dev/ttyUSB9", "/dev/ttyACM0"}), expected);
}

TEST(PortMapFile, AMapThatSaysNoTakesNoSystemDevices) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Keldrin.ports").toStdString();
    const std::vector<std::string> devices = {"/dev/ttyS0", "/dev/ttyUSB9"};
    // The last such line decides; the key is in any case, a comment after the value is allowed.
    const struct {
        const char* text;
        bool adds;
    } cases[] = {
        {"COM7=/dev/pts/3\n", true},
        {"AddSystemDevices=no\nCOM7=/dev/pts/3\n", false},
        {"  addsystemdevices = NO   # only the simulator\nCOM7=/dev/pts/3\n", false},
        {"AddSystemDevices=no\nAddSystemDevices=yes\nCOM7=/dev/pts/3\n", true},
        {"AddSystemDevices=maybe\nCOM7=/dev/pts/3\n", true},
        {"# AddSystemDevices=no\nCOM7=/dev/pts/3\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(AddsSystemDevices(c.text), c.adds);
        writeFile(path, c.text);
        const PortMapEntries got = AssignNewDevices(path, devices);
        PortMapEntries expected = {{7, "/dev/pts/3"}};
        if (c.adds) expected.insert({{1, "/dev/ttyS0"}, {2, "/dev/ttyUSB9"}});
        EXPECT_EQ(got, expected);
        EXPECT_EQ(ReadPortMap(path), expected) << "what was given is written back, nothing else";
    }
}

TEST(PortMapFile, SystemDevicesFromSysfsPreferByIdNames) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string sys = root + "/sys", dev = root + "/dev", byId = root + "/by-id";
    for (const auto& d : {sys, dev, byId}) mkdir(d.c_str(), 0755);
    auto entry = [&](const std::string& name, bool device, const char* type) {
        const std::string e = sys + "/" + name;
        mkdir(e.c_str(), 0755);
        if (device) mkdir((e + "/device").c_str(), 0755);
        if (type) writeFile(e + "/type", type);
        writeFile(dev + "/" + name, "");
    };
    entry("tty1", false, nullptr);    // a virtual console
    entry("ttyS0", true, "4\n");      // a UART
    entry("ttyS1", true, "0\n");      // an 8250 node with nothing behind it
    entry("ttyUSB0", true, nullptr);  // an adapter
    ASSERT_EQ(symlink((dev + "/ttyUSB0").c_str(), (byId + "/usb-FTDI_FT232R-if00-port0").c_str()),
              0);
    const std::vector<std::string> expected = {dev + "/ttyS0",
                                               byId + "/usb-FTDI_FT232R-if00-port0"};
    EXPECT_EQ(SystemSerialDevices(sys, byId, dev), expected);
}

TEST(PortMapFile, PortDeviceNameReadsTheMapNamedByTheEnvironment) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("lab.ports").toStdString();
    writeFile(path, "COM200=/dev/pts/77\n");
    setenv("KELDRIN_PORTS", path.c_str(), 1);
    EXPECT_EQ(PortDeviceName(200), "/dev/pts/77");
    EXPECT_EQ(PortDeviceName(0), "");
    EXPECT_EQ(PortDeviceName(256), "");
    unsetenv("KELDRIN_PORTS");
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
