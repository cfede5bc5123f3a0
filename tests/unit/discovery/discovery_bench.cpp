// Figures, not a test: what a picker's rebuild (which probes without opening) and the status
// report (which opens each present port) cost with a given number of pseudo-terminals in the
// port map. Run: build/tests/discovery_bench [ports] [rounds]
// (QT_QPA_PLATFORM=offscreen without a display).

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "serial/discovery/PortStatusReport.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "serial/discovery/TXComm.h"
#include "unit/discovery/DiscoveryFixture.h"

using namespace keldrin::serial;
using namespace keldrin::serial::testing;

namespace {

template <typename F>
double msPerRound(int rounds, F&& f) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6 / rounds;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int ports = argc > 1 ? std::atoi(argv[1]) : 24;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;

    // Every other number from 1 on holds a pseudo-terminal, so half the probes find nothing.
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::map<int, std::string> map;
    for (int i = 0; i < ports && 1 + 2 * i <= 250; ++i) {
        ptys.push_back(std::make_unique<PtyPair>());
        map[1 + 2 * i] = ptys.back()->path;
    }
    useMap(map);
    // The probe looks through the descriptors of every process it can see.
    int processes = 0;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        name.toInt(&number);
        processes += number;
    }
    std::printf("%zu pseudo-terminals mapped, %d processes, %d rounds each\n", ptys.size(),
                processes, rounds);

    std::printf("port map read (CurrentPortMap): %.3f ms\n",
                msPerRound(rounds, [] { (void)CurrentPortMap(); }));
    for (std::int16_t max : {std::int16_t(24), std::int16_t(255)}) {
        TSioPortComboBox box;
        box.SetOptions(pcCheckExist | pcHighlightOpen);
        box.SetMaxComPorts(max);
        std::printf("RefillList, MaxComPorts %3d: %.3f ms (%d entries)\n", max,
                    msPerRound(rounds, [&] { box.RefillList(); }), box.count());
        // What a drop-down costs: the rebuild and the probe of who holds the listed ports.
        std::printf("RefillList and states, MaxComPorts %3d: %.3f ms\n", max,
                    msPerRound(rounds, [&] {
                        box.RefillList();
                        (void)box.EntryState(0);
                    }));
    }
    TXComm XComm1;
    const QString version = OsVersionText();
    // The 255-port report would open (and configure, for a moment) the machine's own serial
    // devices parked at the top of the map; it runs only where there are none.
    const bool ownDevices = !SystemSerialDevices().empty();
    for (bool upTo255 : {false, true}) {
        if (upTo255 && ownDevices) {
            std::printf("status report, 255 ports: skipped, this machine has serial devices\n");
            continue;
        }
        std::printf("status report, %3d ports: %.3f ms\n", upTo255 ? 255 : 24,
                    msPerRound(rounds, [&] { (void)CommPortsReport(XComm1, version, upTo255); }));
    }
    return 0;
}
