#include "widgets/WaveAnimator.h"

#include <QPainter>
#include <QPainterPath>

namespace keldrin {

namespace {
constexpr int kFrames = 48;    // one bit period is 12 frames, the loop four bits
constexpr int kBitWidth = 24;  // pixels per bit
// The bits the wave shows, again and again: the start bit and "0x4B" (a "K"), low bit first.
constexpr int kBits[] = {0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1};
}  // namespace

WaveAnimator::WaveAnimator(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(60);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void WaveAnimator::start() {
    if (!timer_.isActive()) timer_.start();
}

void WaveAnimator::stop() {
    timer_.stop();
}

void WaveAnimator::hideEvent(QHideEvent* event) {
    stop();
    QWidget::hideEvent(event);
}

void WaveAnimator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor(0x1d, 0x4e, 0x6f), 1));
    p.setBrush(QColor(0x10, 0x2a, 0x3c));
    p.drawRoundedRect(r, 6, 6);

    const double high = r.top() + r.height() * 0.3;
    const double low = r.bottom() - r.height() * 0.3;
    const int count = int(sizeof kBits / sizeof kBits[0]);
    // The wave moves left by a whole number of bits per loop, so the loop has no seam.
    const double shift = double(frame_) * (4.0 * kBitWidth) / kFrames;
    QPainterPath wave;
    bool started = false;
    double lastY = 0;
    p.save();
    p.setClipRect(r.adjusted(3, 3, -3, -3));
    for (int i = 0; i * kBitWidth - shift < r.width() + kBitWidth; ++i) {
        const double x = r.left() + i * kBitWidth - shift;
        const double y = kBits[i % count] ? high : low;
        if (!started) {
            wave.moveTo(x, y);
            started = true;
        } else if (y != lastY) {
            wave.lineTo(x, lastY);
            wave.lineTo(x, y);
        }
        wave.lineTo(x + kBitWidth, y);
        lastY = y;
    }
    p.setPen(QPen(QColor(0x7f, 0xdc, 0x6f), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    // A dot travels along the wave from left to right once per loop.
    const double t = double(frame_) / kFrames;
    const QPointF dot = wave.pointAtPercent(qBound(0.0, t, 1.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd2, 0x4a));
    p.drawEllipse(dot, 4, 4);
    p.restore();
}

}  // namespace keldrin
