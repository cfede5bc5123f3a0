#include "platform/EventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace keldrin {

namespace {

// Well under a frame: the window still repaints and answers clicks at screen rate.
constexpr qint64 kPumpIntervalNs = 4'000'000;

QElapsedTimer& lastPump() {
    static QElapsedTimer clock;
    return clock;
}

void pumped() {
    lastPump().start();
}

bool due() {
    const QElapsedTimer& clock = lastPump();
    return !clock.isValid() || clock.nsecsElapsed() >= kPumpIntervalNs;
}

}  // namespace

void PumpOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumped();
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
    pumped();
}

void PumpIfDue() {
    if (due()) PumpOnce();
}

void PumpEventsIfDue() {
    if (due()) PumpEvents();
}

}  // namespace keldrin
