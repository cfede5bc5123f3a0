// The probe behind the port pickers, the report's test device and the port status report, over
// real pseudo-terminals that a temporary port map names.

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstring>
#include <functional>

#include "serial/SioComPort.h"
#include "serial/discovery/PortProbe.h"
#include "serial/discovery/PortStatusReport.h"
#include "serial/discovery/TXComm.h"
#include "serial/platform/DeviceHolders.h"
#include "support/OpenCounter.h"
#include "unit/discovery/DiscoveryFixture.h"

using namespace keldrin::serial;
using namespace keldrin::serial::testing;
using keldrin::testkit::OpenCounter;

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

namespace {

// The far end of a line, as keldrin-devsim is one: a process that holds a pseudo-terminal's
// master and keeps its slave open too.
struct FarEnd {
    pid_t pid = -1;
    std::string path;
    FarEnd() {
        int link[2];
        if (pipe(link) != 0) return;
        pid = fork();
        if (pid == 0) {
            ::close(link[0]);
            int master = -1, slave = -1;
            char name[256] = {};
            if (openpty(&master, &slave, name, nullptr, nullptr) != 0) _exit(1);
            for (int i = 3; i < 4096; ++i)
                if (i != master && i != slave && i != link[1]) ::close(i);
            if (::write(link[1], name, std::strlen(name) + 1) < 0) _exit(1);
            ::close(link[1]);
            for (;;) pause();
        }
        ::close(link[1]);
        char name[256] = {};
        if (::read(link[0], name, sizeof name - 1) > 0) path = name;
        ::close(link[0]);
    }
    ~FarEnd() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

}  // namespace

TEST(Probe, StatesWithoutOpeningAnyDevice) {
    PtyPair free, locked, keptOpen, ours;
    FarEnd simulated, simulatedAndUsed;
    ASSERT_FALSE(simulated.path.empty());
    ASSERT_FALSE(simulatedAndUsed.path.empty());
    HoldingProcess locker(locked.path, true), screen(keptOpen.path), client(simulatedAndUsed.path);
    ASSERT_TRUE(locker.ok && screen.ok && client.ok);
    useMap({{5, ours.path}});
    TSioComPort port;
    port.SetComNumber(5);
    port.Open();

    const std::vector<std::string> devices = {free.path, locked.path,    keptOpen.path,
                                              ours.path, simulated.path, simulatedAndUsed.path};
    // (Not /dev/null: every program opens that.)
    OpenCounter opens(devices);
    ASSERT_TRUE(opens.ok());
    struct Case {
        std::string device;
        TSioPortState state;
        const char* what;
    } cases[] = {
        {free.path, psFree, "nobody holds it"},
        {locked.path, psInUse, "flock by another program"},
        {keptOpen.path, psInUse, "kept open by another program without a lock"},
        {ours.path, psInUse, "our own port object"},
        {simulated.path, psFree, "only its far end holds it"},
        {simulatedAndUsed.path, psInUse, "a client of the far end"},
        {"", psAbsent, "no name"},
        {"/nonexistent/ttyUSB9", psAbsent, "no such file (an unplugged adapter)"},
        {mapPath(), psAbsent, "a plain file"},
        {"/dev/null", psAbsent, "a device that is no terminal"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProbePort(c.device), c.state) << c.what;
    for (const auto& [device, n] : opens.opens()) EXPECT_EQ(n, 0) << device;

    port.Close();
    EXPECT_EQ(ProbePort(ours.path), psFree);
    // What the probe left behind: the line still carries data both ways.
    expectLineWorks(free);
}

TEST(Probe, UucpLockFiles) {
    PtyPair pty;
    QTemporaryDir dir;
    const std::string lockDir = dir.path().toStdString();
    HolderSources sources;
    sources.proc = "/proc";
    sources.lockDirs = {lockDir};
    SerialDeviceId id;
    ASSERT_EQ(LookUpSerialDevice(pty.path, &id), DevicePresence::Present);
    // The lock is named after the node also when the device is reached through a link.
    const std::string alias = lockDir + "/modem";
    ASSERT_EQ(symlink(pty.path.c_str(), alias.c_str()), 0);
    SerialDeviceId viaAlias;
    ASSERT_EQ(LookUpSerialDevice(alias, &viaAlias), DevicePresence::Present);

    HoldingProcess alive;
    ASSERT_TRUE(alive.ok);
    const std::string lockFile = lockDir + "/LCK.." + pty.path.substr(5).replace(3, 1, "_");
    auto writeLock = [&](const QByteArray& text) {
        QFile f(QString::fromStdString(lockFile));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    const int live = alive.pid;
    struct Case {
        QByteArray text;
        bool held;
        const char* what;
    } cases[] = {
        {QByteArray::number(live).rightJustified(10, ' ') + "\n", true, "a live program's"},
        {QByteArray::number(deadPid()).rightJustified(10, ' ') + "\n", false, "stale"},
        {QByteArray::number(getpid()).rightJustified(10, ' ') + "\n", false,
         "naming us: we take none, so it is left from a dead program"},
        {QByteArray(reinterpret_cast<const char*>(&live), sizeof live), true, "binary pid"},
        {"garbage\n", false, "no pid"},
    };
    for (const auto& c : cases) {
        writeLock(c.text);
        EXPECT_EQ(DeviceHeld(id, sources), c.held) << c.what;
        EXPECT_EQ(DeviceHeld(viaAlias, sources), c.held) << c.what << ", through a link";
    }
    ::unlink(lockFile.c_str());
    EXPECT_FALSE(DeviceHeld(id, sources));
}

TEST(Probe, SerialCoreNodesWithoutAUartAreAbsent) {
    // /dev/null stands in for the node; a made-up sysfs says what is behind it.
    QTemporaryDir sys;
    const std::string root = sys.path().toStdString();
    const std::string node = root + "/1:3";
    struct Case {
        const char* subsystem;  // nullptr: no sysfs entry for the node
        const char* type;       // nullptr: no type attribute (not a serial-core node)
        DevicePresence presence;
    } cases[] = {
        {nullptr, nullptr, DevicePresence::Absent},
        {"../../class/mem", nullptr, DevicePresence::Absent},
        {"../../class/tty", nullptr, DevicePresence::Present},
        {"../../class/tty", "4\n", DevicePresence::Present},
        {"../../class/tty", "0\n", DevicePresence::Absent},
    };
    for (const auto& c : cases) {
        QDir(QString::fromStdString(node)).removeRecursively();
        if (c.subsystem) {
            ASSERT_TRUE(QDir().mkpath(QString::fromStdString(node)));
            ASSERT_EQ(symlink(c.subsystem, (node + "/subsystem").c_str()), 0);
            if (c.type) {
                QFile f(QString::fromStdString(node + "/type"));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(c.type);
            }
        }
        EXPECT_EQ(LookUpSerialDevice("/dev/null", nullptr, root), c.presence)
            << (c.subsystem ? c.subsystem : "none") << " " << (c.type ? c.type : "-");
    }
    // Without a sysfs to ask, a character device is taken at its word.
    EXPECT_EQ(LookUpSerialDevice("/dev/null", nullptr, root + "/missing"), DevicePresence::Present);
}

TEST(OwnOpen, RefusesWhatTheProbeCallsInUse) {
    PtyPair pty;
    useMap({{4, pty.path}});
    TSioComPort port;
    port.SetComNumber(4);
    auto openError = [&]() -> std::string {
        try {
            port.Open();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(opened)";
    };
    {
        HoldingProcess screen(pty.path);  // holds it open without any lock
        ASSERT_TRUE(screen.ok);
        OpenCounter opens({pty.path});
        EXPECT_EQ(openError(), "Can't open device COM4");
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(opens.opens(pty.path), 0) << "refused before it is opened";
        TXComm XComm1;
        XComm1.SetDeviceName("Com4");
        EXPECT_EQ(errorOf([&] { XComm1.OpenDevice(); }), "Cannot open device Com4");
    }
    {
        // A live UUCP lock file where minicom and others put them.
        HoldingProcess minicom;
        ASSERT_TRUE(minicom.ok);
        UucpLockFile lock("/run/lock", pty.path, minicom.pid);
        if (lock.ok()) {
            EXPECT_EQ(openError(), "Can't open device COM4");
            EXPECT_FALSE(port.IsOpen());
        } else {
            ADD_FAILURE() << "/run/lock is not writable here";
        }
    }
    // Once the holders are gone the port is ours, and held exclusively.
    EXPECT_EQ(openError(), "(opened)");
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(exclusive(pty.slave));
    port.Close();
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
    // COM5's adapter was unplugged: its number stays in the map, its device file is gone.
    useMap({{1, free.path}, {3, held.path}, {5, "/dev/serial/by-id/usb-gone-if00-port0"}});
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
