// The probe behind the port pickers, the report's test device and the port status report, over
// real pseudo-terminals that a temporary port map names.

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>

#include <QCoreApplication>
#include <functional>

#include "serial/SioComPort.h"
#include "serial/discovery/PortProbe.h"
#include "serial/discovery/PortStatusReport.h"
#include "serial/discovery/TXComm.h"
#include "unit/discovery/DiscoveryFixture.h"

using namespace keldrin::serial;
using namespace keldrin::serial::testing;

namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDeviceError& e) {
        return e.what();
    }
    return "(no error)";
}

bool exclusive(int fd) {
    int on = 0;
    return ioctl(fd, TIOCGEXCL, &on) == 0 && on != 0;
}

// The line still works both ways after someone opened and closed the device.
void expectLineWorks(PtyPair& pty) {
    ASSERT_EQ(::write(pty.master, "ping", 4), 4);
    EXPECT_EQ(readAtLeast(pty.slave, 4, 10000), "ping");
    ASSERT_EQ(::write(pty.slave, "pong", 4), 4);
    EXPECT_EQ(readAtLeast(pty.master, 4, 10000), "pong");
}

const QString kSeparator =
    QStringLiteral("- - - - - - - - - - - - - - - - - - - - - - - - - - - -");

}  // namespace

// ---- the version line ----

TEST(OsVersion, LineFromKernelAndDistribution) {
    struct Case {
        const char* release;
        QByteArray osRelease;
        const char* expected;
    } cases[] = {
        {"6.1.0-27-amd64", "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n",
         "Linux Version 6.1\r\n (Build 6.1.0-27-amd64: Debian GNU/Linux 12)"},
        {"5.15.0", "PRETTY_NAME=Alpine\n", "Linux Version 5.15\r\n (Build 5.15.0: Alpine)"},
        {"6.8.0", "PRETTY_NAME='Single \"quoted\"'\n",
         "Linux Version 6.8\r\n (Build 6.8.0: Single \"quoted\")"},
        {"6.8.0", "  PRETTY_NAME=\"Esc \\\"x\\\" \\\\ y\"  \n",
         "Linux Version 6.8\r\n (Build 6.8.0: Esc \"x\" \\ y)"},
        // No os-release: the part after the build is empty, as an absent service pack was.
        {"4.19.0", "", "Linux Version 4.19\r\n (Build 4.19.0: )"},
        {"7", "ID=x\n", "Linux Version 7.0\r\n (Build 7: )"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OsVersionTextFrom("Linux", c.release, c.osRelease), QString(c.expected))
            << c.release;
    }
    const QByteArray longName = "PRETTY_NAME=\"" + QByteArray(300, 'x') + "\"";
    EXPECT_EQ(OsVersionTextFrom("Linux", "6.1", longName),
              "Linux Version 6.1\r\n (Build 6.1: " + QString(128, 'x') + ")");
}

TEST(OsVersion, ThisMachineSelectsTheWideLayout) {
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    const QString line = OsVersionText();
    EXPECT_EQ(line.left(10), "Linux Vers");
    EXPECT_TRUE(line.contains(QStringLiteral("\r\n (Build ") + u.release + ": "))
        << line.toStdString();
}

// ---- the probe ----

TEST(Probe, StatesOfFreeHeldAndMissingDevices) {
    PtyPair free, locked, exclusiveElsewhere, ours;
    ASSERT_GE(free.master, 0);
    FlockHolder holder(locked.path);
    ASSERT_GE(holder.fd, 0);
    ASSERT_EQ(ioctl(exclusiveElsewhere.slave, TIOCEXCL), 0);

    EXPECT_EQ(ProbePort(free.path), psFree);
    EXPECT_EQ(ProbePort(locked.path), psInUse);
    EXPECT_EQ(ProbePort(exclusiveElsewhere.path), psInUse);
    EXPECT_EQ(ProbePort(""), psAbsent);
    EXPECT_EQ(ProbePort("/nonexistent/ttyUSB9"), psAbsent);
    EXPECT_EQ(ProbePort(mapPath()), psAbsent) << "a plain file is no serial device";

    // Our own serial port object holding the device.
    useMap({{5, ours.path}});
    TSioComPort port;
    port.SetComNumber(5);
    port.Open();
    EXPECT_EQ(ProbePort(ours.path), psInUse);
    port.Close();
    EXPECT_EQ(ProbePort(ours.path), psFree);

    // The probe gives the port back as it found it: no exclusive flag left on a free port,
    // another holder's flag kept, and the line still carrying data both ways.
    EXPECT_FALSE(exclusive(free.slave));
    EXPECT_TRUE(exclusive(exclusiveElsewhere.slave));
    expectLineWorks(free);
}

TEST(Probe, NumbersFromOneMapReading) {
    PtyPair a, b;
    FlockHolder holder(b.path);
    useMap({{2, a.path}, {4, b.path}, {6, "/nonexistent/ttyACM0"}});
    const auto states = ProbePorts(7, CurrentPortMap());
    const std::map<int, TSioPortState> expected = {{1, psAbsent}, {2, psFree},   {3, psAbsent},
                                                   {4, psInUse},  {5, psAbsent}, {6, psAbsent},
                                                   {7, psAbsent}};
    EXPECT_EQ(states, expected);
    EXPECT_TRUE(ProbePorts(0, CurrentPortMap()).empty());
    EXPECT_TRUE(ProbePorts(-3, CurrentPortMap()).empty());
}

// ---- the test device ----

TEST(XComm, OpensWithItsConfigurationAndGivesTheLineBack) {
    PtyPair pty;
    useMap({{3, pty.path}});
    termios before{};
    ASSERT_EQ(tcgetattr(pty.slave, &before), 0);
    before.c_lflag |= ECHO | ICANON;
    cfsetspeed(&before, B115200);
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &before), 0);

    TXComm xcomm;
    xcomm.SetDeviceName("Com3");
    xcomm.OpenDevice();
    ASSERT_TRUE(xcomm.IsOpen());
    termios during{};
    tcgetattr(pty.slave, &during);
    EXPECT_EQ(cfgetospeed(&during), speed_t(B9600));
    EXPECT_EQ(during.c_lflag & (ECHO | ICANON), 0u) << "raw while open";
    EXPECT_EQ(ProbePort(pty.path), psInUse);

    xcomm.SetDeviceName("Com4");
    EXPECT_EQ(xcomm.DeviceName(), "Com3") << "the name stays while open";
    EXPECT_EQ(errorOf([&] { xcomm.OpenDevice(); }), "Device is allready opened.");
    xcomm.CloseDevice();
    EXPECT_FALSE(xcomm.IsOpen());
    EXPECT_EQ(errorOf([&] { xcomm.CloseDevice(); }), "Device not opened.");

    termios after{};
    tcgetattr(pty.slave, &after);
    EXPECT_EQ(cfgetospeed(&after), speed_t(B115200));
    EXPECT_EQ(after.c_lflag & (ECHO | ICANON), tcflag_t(ECHO | ICANON));
    EXPECT_FALSE(exclusive(pty.slave));
    EXPECT_EQ(ProbePort(pty.path), psFree);

    // A device path works as a name too.
    xcomm.SetDeviceName(QString::fromStdString(pty.path));
    xcomm.OpenDevice();
    xcomm.CloseDevice();
}

TEST(XComm, DevicesThatCannotBeHad) {
    PtyPair locked;
    FlockHolder holder(locked.path);
    useMap({{3, locked.path}, {5, "/nonexistent/ttyUSB0"}});
    struct Case {
        const char* name;
        const char* error;
    } cases[] = {
        {"Com3", "Cannot open device Com3"},  // held by another program
        {"Com5", "Cannot open device Com5"},  // named, but gone
        {"Com9", "Cannot open device Com9"},  // no device for the number
        {"COM3x", "Cannot open device COM3x"}, {"", "Cannot open device "},
    };
    for (const auto& c : cases) {
        TXComm xcomm;
        xcomm.SetDeviceName(c.name);
        EXPECT_EQ(errorOf([&] { xcomm.OpenDevice(); }), c.error) << c.name;
        EXPECT_FALSE(xcomm.IsOpen());
    }
}

// ---- the report ----

TEST(Report, WideLayoutWithFoundFreeAndHeldPorts) {
    PtyPair free, held;
    FlockHolder holder(held.path);
    useMap({{1, free.path}, {3, held.path}});
    const QString version = "Linux Version 6.1\r\n (Build 6.1.0-27-amd64: Debian GNU/Linux 12)";
    TXComm XComm1;
    QStringList expected{"Your OS is:",
                         version,
                         kSeparator,
                         "Com1 found/present on this computer",
                         "Com1 will glad to be opened for You!",
                         kSeparator,
                         "Com2 Not found",
                         "Com3 found/present on this computer",
                         "Failed to open device...  Cannot open device Com3....   Com3 has been "
                         "opened and already in use",
                         kSeparator};
    for (int n = 4; n <= 24; ++n) expected << QString("Com%1 Not found").arg(n);
    EXPECT_EQ(CommPortsReport(XComm1, version, false), expected);
    EXPECT_FALSE(XComm1.IsOpen());
    EXPECT_EQ(ProbePort(free.path), psFree) << "the report leaves a free port free";
    expectLineWorks(free);

    // With "Windows NT" the same 24 numbers; with "Windows 95" sixteen.
    const QStringList nt =
        CommPortsReport(XComm1, "Windows NT Version 5.1\r\n (Build 2600: )", false);
    EXPECT_EQ(nt.mid(3), expected.mid(3));
    const QStringList w95 = CommPortsReport(XComm1, "Windows 95 Version 4.10", false);
    EXPECT_EQ(w95.mid(3), expected.mid(3, expected.size() - 3 - 8));
    EXPECT_EQ(w95.last(), "Com16 Not found");
}

TEST(Report, LayoutByTheVersionLine) {
    struct Case {
        const char* line;
        bool upTo255;
        int ports;
    } cases[] = {
        {"Linux Version 6.1\r\n (Build 6.1.0: x)", false, 24},
        {"Linux Version 6.1\r\n (Build 6.1.0: x)", true, 255},
        {"Windows NT Version 5.1", false, 24},
        {"Windows NT Version 5.1", true, 255},
        {"Windows 95 Version 4.10", true, 16},
        {"Linux", true, 0},
        {"Darwin Version 23.1", false, 0},
        {"", true, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportPortCount(c.line, c.upTo255), c.ports) << c.line << " " << c.upTo255;

    // Neither family: the three header lines only, and no port is touched.
    PtyPair held;
    FlockHolder holder(held.path);
    useMap({{1, held.path}});
    TXComm XComm1;
    EXPECT_EQ(CommPortsReport(XComm1, "Darwin Version 23.1", true),
              (QStringList{"Your OS is:", "Darwin Version 23.1", kSeparator}));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
