#include "platform/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace keldrin {

void PumpOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PumpEvents() {
    for (int i = 0; i < 5; ++i) PumpOnce();
}

void WaitForEvents(int maxMs) {
    // The single-shot timer guarantees a wake-up even when nothing else arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs < 0 ? 0 : maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace keldrin
