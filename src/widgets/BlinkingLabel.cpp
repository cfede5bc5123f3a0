#include "widgets/BlinkingLabel.h"

namespace keldrin {

BlinkingLabel::BlinkingLabel(QWidget* parent) : QLabel(parent) {
    connect(&timer_, &QTimer::timeout, this, [this] {
        dimmed_ = !dimmed_;
        // Only the colour changes, so the layout does not jump while it blinks.
        setStyleSheet(dimmed_ ? QStringLiteral("color: transparent;") : QString());
    });
}

void BlinkingLabel::startBlinking(int periodMs) {
    timer_.start(periodMs);
}

void BlinkingLabel::stopBlinking() {
    timer_.stop();
    dimmed_ = false;
    setStyleSheet(QString());
}

}  // namespace keldrin
