// Figures for the record tool: how long the runner's checksum record takes through the page,
// a full 255-byte record through the page (two event-pump passes per pair), and the pure
// functions over every record of a 64 KiB firmware file. Not a test; run it by hand.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QWidget>
#include <cstdio>

#include "terminal/TextCodec.h"
#include "tools/HexRecord.h"
#include "tools/HexRecordPage.h"

namespace {

template <typename F>
double microsecondsPerRun(int runs, F&& f) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i) f();
    return double(t.nsecsElapsed()) / 1000.0 / runs;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget sheet;
    auto* page = new keldrin::HexRecordPage(&sheet);
    sheet.show();

    const double runnerRecord = microsecondsPerRun(2000, [&] {
        page->edHexCommand->setText(QStringLiteral(":0300000312ABCD"));
        page->BitBtn2Click();
        page->BitBtn3Click();
    });

    QByteArray longRecord = ":FF000000";
    for (int i = 0; i < 255; ++i) longRecord += keldrin::ValueToHex(i, 2);
    const double fullRecord = microsecondsPerRun(200, [&] {
        page->edHexCommand->setText(QString::fromLatin1(longRecord));
        page->BitBtn2Click();
        page->BitBtn3Click();
    });

    // 64 KiB as 4096 records of 16 bytes, completed by the pure functions.
    QList<QByteArray> records;
    for (int a = 0; a < 0x10000; a += 16) {
        QByteArray r = ":10" + keldrin::ValueToHex(a, 4) + "00";
        for (int i = 0; i < 16; ++i) r += keldrin::ValueToHex((a + i * 7) & 0xFF, 2);
        records << r;
    }
    qsizetype total = 0;
    const double firmware = microsecondsPerRun(5, [&] {
        for (const QByteArray& r : records) total += keldrin::CompleteHexRecord(r).size();
    });

    std::printf("runner checksum record through the page: %.1f us\n", runnerRecord);
    std::printf("255-byte record through the page:        %.1f us\n", fullRecord);
    std::printf("64 KiB firmware (4096 records), pure:    %.2f ms (%lld chars)\n",
                firmware / 1000.0, static_cast<long long>(total / 5));
    return 0;
}
