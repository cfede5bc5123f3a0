// How fast a firmware row goes through, and what a wait on a silent device costs.
//
//   keldrin_runner_bench [lines] [wait seconds] [receive MiB] [terminal hours]
//
// 1. A File row of an Intel HEX file of `lines` data records (2000 by default), sent with no
//    delay after each line to keldrin-devsim, which answers every record at once: lines per
//    second and the processor seconds this process (the whole of Keldrin) used.
// 2. A Command row waiting for a device that never answers, with a time-out of `wait seconds`
//    (30 by default): the processor seconds used while waiting.
// 3. A Command row whose device streams `receive MiB` (20 by default) of text lines before
//    its answer: bytes per second into the receive window, the accumulator and the answer
//    check, and the processor time they cost; a quarter of the amount too, and the rate of
//    the difference (the run's start and end, the same for any amount, drop out of it).
// 4. The terminal, no run, on a device sending what 921600 baud carries in `terminal hours`
//    (1 by default), as fast as it can: the memory of the process before and after.
//
// The window is shown (on the offscreen platform), so its painting counts. The streaming
// device of 3 and 4 is a child process on a pseudo-terminal; its own processor time is not
// counted.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "SimClient.h"
#include "platform/EventPump.h"
#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "serial/platform/PortMap.h"
#include "shell/Application.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "terminal/CommunicationPage.h"
#include "terminal/Receiver.h"
#include "widgets/ByteLinesView.h"

using namespace keldrin;
using keldrin::testkit::cpuSeconds;

namespace {

QByteArray hexRecord(int address, const QByteArray& data) {
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(0));
    bytes.append(data);
    unsigned sum = 0;
    for (char c : bytes) sum += static_cast<unsigned char>(c);
    bytes.append(char((0x100 - (sum & 0xFF)) & 0xFF));
    return ":" + bytes.toHex().toUpper();
}

void setRow(CommandTable& t, int r, const QString& type, const QString& issue,
            const QString& timeOut) {
    t.setCell(colName, r, QStringLiteral("bench"));
    t.setCell(colType, r, type);
    t.setCell(colIssue, r, issue);
    t.setCell(colAck, r, QStringLiteral("OK"));
    t.setCell(colNack, r, QStringLiteral("ERR"));
    t.setCell(colTimeOut, r, timeOut);
}

// Resident memory of this process, KiB.
long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// A device on a pseudo-terminal that writes `total` bytes of text lines, then `tail`, as fast
// as the line takes them, from a child process. Reads and drops what it is sent.
struct Streamer {
    int master = -1, slave = -1;
    std::string path;
    pid_t pid = -1;
    Streamer() {
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        path = name;
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    void start(long long total, const QByteArray& tail) {
        QByteArray chunk;
        for (int i = 0; chunk.size() < 60000; ++i)
            chunk += "log line " + QByteArray::number(100000 + i) + " of a chatty device\r\n";
        pid = fork();
        if (pid != 0) return;
        long long left = total;
        char sink[4096];
        while (left > 0) {
            pollfd p{master, POLLOUT | POLLIN, 0};
            poll(&p, 1, 1000);
            if (p.revents & POLLIN) (void)!::read(master, sink, sizeof sink);
            if (!(p.revents & POLLOUT)) continue;
            const ssize_t n =
                ::write(master, chunk.constData(), size_t(qMin<long long>(left, chunk.size())));
            if (n > 0) left -= n;
        }
        (void)!::write(master, tail.constData(), size_t(tail.size()));
        for (;;) {  // stays until stopped, so the line stays up
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, -1) > 0 && ::read(master, sink, sizeof sink) <= 0) pause();
        }
    }
    ~Streamer() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int waitSeconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const double receiveMiB = argc > 3 ? std::atof(argv[3]) : 20;
    const double terminalHours = argc > 4 ? std::atof(argv[4]) : 1;

    QTemporaryDir dir;
    qputenv("KELDRIN_PORTS", dir.filePath("Keldrin.ports").toLocal8Bit());
    platform::FakeSeams seams;  // no tones, alerts or boxes get in the way
    platform::setSleeper(nullptr);
    platform::setProgramFolder(dir.path());

    // The firmware: `lines` records of 16 bytes and an end record.
    QByteArray hex;
    unsigned sum = 0;
    for (int i = 0; i < lines; ++i) {
        QByteArray data(16, '\0');
        for (int k = 0; k < 16; ++k) {
            data[k] = char((i * 16 + k) * 7);
            sum += static_cast<unsigned char>(data[k]);
        }
        hex += hexRecord((i * 16) & 0xFFFF, data) + "\r\n";
    }
    hex += ":00000001FF\r\n";
    QFile fw(dir.filePath("bench.hex"));
    fw.open(QIODevice::WriteOnly);
    fw.write(hex);
    fw.close();
    QFile chk(dir.filePath("bench.chk"));
    chk.open(QIODevice::WriteOnly);
    chk.write(QString::asprintf("Checksum is: %04X", sum & 0xFFFF).toLatin1());
    chk.close();

    TfrmMain w({QStringLiteral("keldrin")});
    w.SpinEdit_DelayOnSent->setValue(0);
    w.show();

    simtest::SimProcess device;
    if (!device.start({"--com", "77"})) {
        std::fprintf(stderr, "keldrin-devsim did not start\n");
        return 1;
    }
    w.SioComPort1->SetComNumber(77);
    w.SioComPort1->SetBaudRate(serial::br115200);
    w.SioComPort1->Open();
    setRow(w.table(), 2, QStringLiteral("File"), dir.filePath("bench.hex"), QStringLiteral("2"));
    QElapsedTimer clock;
    clock.start();
    double cpu0 = cpuSeconds();
    w.btnGo->click();
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    const QString status = w.table().cell(colStatus, 2);
    std::printf(
        "firmware row: %d lines in %.2f s = %.0f lines/s, %.2f s CPU = %.0f us CPU a line "
        "(status %s)\n",
        lines + 1, seconds, (lines + 1) / seconds, cpu, cpu * 1e6 / (lines + 1),
        qPrintable(status));
    device.stop();

    // A device that never answers.
    simtest::SimProcess silent;
    silent.start({"--com", "78", "--silent-from", "1"});
    w.SioComPort1->Close();
    w.SioComPort1->SetComNumber(78);
    w.SioComPort1->Open();
    for (int c = 0; c < kCommandColumnCount; ++c) w.table().setCell(c, 2, QString());
    setRow(w.table(), 2, QStringLiteral("Command"), QStringLiteral("ID!"),
           QString::number(waitSeconds));
    // Only the first wait is measured: the resend would double it.
    QTimer::singleShot(waitSeconds * 1000 + 200, w.btnAbort, &QPushButton::click);
    clock.restart();
    cpu0 = cpuSeconds();
    w.btnGo->click();
    std::printf("silent device: %.1f s of waiting cost %.3f s CPU (%.2f %% of one core)\n",
                double(clock.elapsed()) / 1000.0, cpuSeconds() - cpu0,
                100.0 * (cpuSeconds() - cpu0) / (double(clock.elapsed()) / 1000.0));
    silent.stop();
    w.SioComPort1->Close();

    // 3. A device that streams before it answers; once with a quarter of the amount as well,
    // so the run's own start and end (the same for any amount) drop out of the rate.
    const QString ports = QString::fromLocal8Bit(qgetenv("KELDRIN_PORTS"));
    struct Received {
        double seconds, cpu;
    };
    auto receive = [&](long long bytes) {
        Streamer device;
        serial::WritePortMapEntries(ports.toStdString(), {{79, device.path}});
        w.SioComPort1->SetComNumber(79);
        w.SioComPort1->Open();
        for (int c = 0; c < kCommandColumnCount; ++c) w.table().setCell(c, 2, QString());
        setRow(w.table(), 2, QStringLiteral("Command"), QStringLiteral("DUMP!"),
               QStringLiteral("600"));
        w.table().setCell(colAck, 2, QStringLiteral("DUMP-END"));
        device.start(bytes, "DUMP-END\r\n");
        clock.restart();
        cpu0 = cpuSeconds();
        w.btnGo->click();
        const Received r{double(clock.elapsed()) / 1000.0, cpuSeconds() - cpu0};
        std::printf(
            "receive during a wait: %.1f MiB in %.2f s = %.1f MiB/s, %.2f s CPU = %.0f ns CPU a "
            "byte (status %s)\n",
            double(bytes) / 1048576.0, r.seconds, double(bytes) / 1048576.0 / r.seconds, r.cpu,
            r.cpu * 1e9 / double(bytes), qPrintable(w.table().cell(colStatus, 2)));
        w.SioComPort1->Close();
        return r;
    };
    {
        const long long bytes = (long long)(receiveMiB * 1024 * 1024);
        const Received quarter = receive(bytes / 4);
        const Received whole = receive(bytes);
        const double mib = double(bytes - bytes / 4) / 1048576.0;
        std::printf(
            "receive, the difference of the two: %.1f MiB in %.2f s = %.1f MiB/s, %.0f ns CPU a "
            "byte\n",
            mib, whole.seconds - quarter.seconds, mib / (whole.seconds - quarter.seconds),
            (whole.cpu - quarter.cpu) * 1e9 / (mib * 1048576.0));
    }

    // 4. The terminal left open on a chatty device.
    {
        Streamer device;
        serial::WritePortMapEntries(ports.toStdString(), {{79, device.path}});
        w.SioComPort1->Open();
        const long long bytes = (long long)(terminalHours * 3600 * 92160);
        Receiver& rx = *w.receiver;
        const std::uint32_t counted0 = rx.ReceivedCharCount;
        const long rss0 = residentKiB();
        device.start(bytes, QByteArray());
        clock.restart();
        cpu0 = cpuSeconds();
        long peak = rss0;
        while (rx.ReceivedCharCount - counted0 < std::uint32_t(bytes)) {
            WaitForEvents(50);
            peak = qMax(peak, residentKiB());
            if (clock.elapsed() > 3600 * 1000) break;
        }
        const double s4 = double(clock.elapsed()) / 1000.0;
        std::printf(
            "terminal, %.2f h of 921600 baud (%.0f MB) in %.1f s, %.2f s CPU: memory %ld KiB "
            "before, %ld KiB after (peak %ld KiB); accumulator %lld bytes, window %d lines\n",
            terminalHours, double(bytes) / 1e6, s4, cpuSeconds() - cpu0, rss0, residentKiB(), peak,
            (long long)rx.RxAccumulator.size(), w.communication->SynEditReceiving->lineCount());
        w.SioComPort1->Close();
    }
    return 0;
}
