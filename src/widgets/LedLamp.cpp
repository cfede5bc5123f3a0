#include "widgets/LedLamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace keldrin {

LedLamp::LedLamp(QColor colour, QWidget* parent) : QWidget(parent), colour_(colour) {
    setFixedSize(sizeHint());
    connect(&blink_, &QTimer::timeout, this, [this] { setLit(!lit_); });
}

void LedLamp::setActive(bool on) {
    active_ = on;
    if (on && blinkMs_ > 0) {
        blink_.start(blinkMs_);
    } else {
        blink_.stop();
    }
    setLit(on);
}

void LedLamp::setLit(bool on) {
    if (lit_ == on) return;
    lit_ = on;
    update();
}

void LedLamp::setBlinkPeriod(int ms) {
    blinkMs_ = ms;
    if (active_) setActive(true);
}

void LedLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.4);
    const QColor base = lit_ ? colour_ : colour_.darker(350);
    g.setColorAt(0, base.lighter(lit_ ? 170 : 120));
    g.setColorAt(1, base);
    p.setBrush(g);
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawEllipse(r);
}

}  // namespace keldrin
