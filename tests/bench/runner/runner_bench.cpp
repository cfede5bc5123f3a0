// How fast a firmware row goes through, and what a wait on a silent device costs.
//
//   keldrin_runner_bench [lines] [wait seconds]
//
// 1. A File row of an Intel HEX file of `lines` data records (2000 by default), sent with no
//    delay after each line to keldrin-devsim, which answers every record at once: lines per
//    second and the processor seconds this process (the whole of Keldrin) used.
// 2. A Command row waiting for a device that never answers, with a time-out of `wait seconds`
//    (30 by default): the processor seconds used while waiting.

#include <sys/resource.h>

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
#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "shell/Application.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"

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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int waitSeconds = argc > 2 ? std::atoi(argv[2]) : 30;

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
    std::printf("firmware row: %d lines in %.2f s = %.0f lines/s, %.2f s CPU (status %s)\n",
                lines + 1, seconds, (lines + 1) / seconds, cpu, qPrintable(status));
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
    return 0;
}
