#include "widgets/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace keldrin {

namespace {

// 25 frames a second: smooth to the eye, and a run on a busy PC keeps its time for the wire.
constexpr int kFrameMs = 40;

}  // namespace

PaintPacer::PaintPacer(QWidget* window) : QObject(window), window_(window) {
    later_.setSingleShot(true);
    connect(&later_, &QTimer::timeout, this, [this] { paintNow(); });
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (!handle_ && window_ && window_->windowHandle()) {
        // Depending on the platform the update request reaches the widget or its window.
        handle_ = window_->windowHandle();
        handle_->installEventFilter(this);
    }
    if (event->type() != QEvent::UpdateRequest || passing_) return false;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kFrameMs) {
        sincePaint_.start();
        return false;
    }
    // Too soon after the last one: it is delivered when the frame is over. Until then Qt
    // gathers every further change into the same request.
    deferredTo_ = watched;
    if (!later_.isActive()) later_.start(int(kFrameMs - sincePaint_.elapsed()));
    return true;
}

void PaintPacer::paintNow() {
    QObject* target = deferredTo_;
    deferredTo_ = nullptr;
    if (!target || (target != window_.data() && target != handle_.data())) return;
    sincePaint_.start();
    passing_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(target, &request);
    passing_ = false;
}

}  // namespace keldrin
