// Opens a 1 GiB sparse file in the hex view and jumps through it: open time, draw time per
// screen, resident memory, and the time of a search that finds nothing. Figures for the README;
// not a test. Usage: hex_view_bench [folder for the file, default /tmp]

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "widgets/HexView.h"

namespace {

// Resident memory of this process in MiB.
double residentMiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0
                             : -1;
}

struct Figures {
    double median = 0, p99 = 0, worst = 0;
};

Figures summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Figures f;
    f.median = ms[ms.size() / 2];
    f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    f.worst = ms.back();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir(argc > 1
                          ? QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hexbench-XXXXXX")
                          : QString());
    const QString path = dir.filePath(QStringLiteral("sparse-1GiB.bin"));
    const qint64 size = qint64(1) << 30;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(path));
            return 2;
        }
        f.seek(size / 2);
        f.write("needle in the middle");
    }

    keldrin::HexView view;
    view.resize(900, 640);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) return 2;
    QAbstractScrollArea* canvas = view.canvas();
    const double rssBefore = residentMiB();

    QElapsedTimer t;
    t.start();
    const int error = view.loadFile(path);
    canvas->viewport()->repaint();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    if (error) {
        std::fprintf(stderr, "open failed: %d\n", error);
        return 2;
    }
    const double rssOpen = residentMiB();

    // Jumps with the scroll bar to random places.
    std::mt19937 random(13);
    QScrollBar* bar = canvas->verticalScrollBar();
    std::uniform_int_distribution<int> anywhere(0, bar->maximum());
    std::vector<double> jumpMs;
    for (int i = 0; i < 300; ++i) {
        t.restart();
        bar->setValue(anywhere(random));
        canvas->viewport()->repaint();
        jumpMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    // Ctrl+End and Ctrl+Home, then Page Down held.
    std::vector<double> keyMs;
    canvas->setFocus();
    for (int i = 0; i < 20; ++i) {
        t.restart();
        QTest::keyClick(canvas, i % 2 ? Qt::Key_Home : Qt::Key_End, Qt::ControlModifier);
        canvas->viewport()->repaint();
        keyMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    for (int i = 0; i < 500; ++i) {
        t.restart();
        QTest::keyClick(canvas, Qt::Key_PageDown);
        canvas->viewport()->repaint();
        keyMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double rssJumps = residentMiB();

    // A search through the whole file for bytes that are not there, then for ones that are.
    view.showFind();
    QSignalSpy finished(&view, &keldrin::HexView::searchFinished);
    view.setCaret(0);
    view.findBox()->setText(QStringLiteral("absent bytes"));
    t.restart();
    view.findNext();
    // The window thread goes on meanwhile: count the event-loop turns it gets.
    int turns = 0;
    while (finished.isEmpty()) {
        QTest::qWait(5);
        ++turns;
    }
    const double searchMs = double(t.nsecsElapsed()) / 1e6;
    const double rssSearch = residentMiB();

    const Figures jumps = summarise(jumpMs);
    const Figures keys = summarise(keyMs);
    std::printf("file: 1 GiB sparse, view 900x640 (%d rows)\n", view.visibleRows());
    std::printf("open (map + first draw): %.2f ms\n", openMs);
    std::printf(
        "scroll-bar jumps, 300: draw per screen median %.2f ms, p99 %.2f ms, worst %.2f ms\n",
        jumps.median, jumps.p99, jumps.worst);
    std::printf("Ctrl+End/Home and Page Down, 520: median %.2f ms, p99 %.2f ms, worst %.2f ms\n",
                keys.median, keys.p99, keys.worst);
    std::printf(
        "resident memory: before %.1f MiB, after open %.1f MiB, after jumps %.1f MiB, "
        "after a search %.1f MiB\n",
        rssBefore, rssOpen, rssJumps, rssSearch);
    std::printf(
        "search of 1 GiB without a match: %.0f ms, window thread served %d times "
        "meanwhile\n",
        searchMs, turns);
    return 0;
}
