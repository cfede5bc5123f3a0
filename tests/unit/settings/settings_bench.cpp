// Figures, not a test: how long reading "Keldrin.xml" and one write after a width change take.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "platform/SettingsStore.h"

using keldrin::platform::SettingsStore;

int main() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Keldrin.xml"));
    {
        // A file of the usual size: eight widths and the form group.
        SettingsStore store(file);
        store.load();
        const SettingsStore::Batch together(store);
        for (int c = 0; c < 8; ++c)
            store.writeInteger(QStringLiteral("StringGrid1_ColWidth_%1").arg(c), 80);
        for (int i = 0; i < 40; ++i)
            store.writeText(QStringLiteral("-----\\Property%1_Value").arg(i),
                            QStringLiteral("/home/operator/projects/board%1.cmd").arg(i));
    }
    constexpr int kRounds = 200;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRounds; ++i) {
        SettingsStore store(file);
        store.load();
    }
    const double readMs = double(clock.nsecsElapsed()) / kRounds / 1e6;

    SettingsStore store(file);
    store.load();
    clock.restart();
    for (int i = 0; i < kRounds; ++i) {
        const SettingsStore::Batch together(store);
        for (int c = 0; c < 8; ++c)
            store.writeInteger(QStringLiteral("StringGrid1_ColWidth_%1").arg(c), 40 + i + c);
    }
    const double writeMs = double(clock.nsecsElapsed()) / kRounds / 1e6;
    std::printf("reading the file: %.3f ms; writing the eight widths: %.3f ms\n", readMs, writeMs);
}
