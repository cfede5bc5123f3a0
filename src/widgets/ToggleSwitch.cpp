#include "widgets/ToggleSwitch.h"

#include <QPainter>

namespace keldrin {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 4, -1, -4);
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? QColor(0x2e, 0x9d, 0x3a) : QColor(0x9a, 0x9a, 0x9a));
    if (!isEnabled()) p.setOpacity(0.5);
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const qreal d = height() - 2;
    const qreal x = isChecked() ? width() - d - 1 : 1;
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    p.drawEllipse(QRectF(x, 1, d, d));
}

}  // namespace keldrin
