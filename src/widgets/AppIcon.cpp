#include "widgets/AppIcon.h"

#include <QPainter>
#include <QPolygonF>

namespace keldrin {

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);  // drawn on the 256 x 256 grid of the SVG
    const QColor tile(0x1d, 0x4e, 0x6f);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    p.setBrush(QColor(0xb8, 0xc4, 0xcc));
    for (int y : {64, 88, 112, 136}) {
        p.drawRect(QRectF(52, y, 20, 10));
        p.drawRect(QRectF(184, y, 20, 10));
    }
    p.setBrush(QColor(0xe9, 0xee, 0xf2));
    p.drawRoundedRect(QRectF(72, 48, 112, 112), 10, 10);
    p.setBrush(tile);
    p.drawEllipse(QPointF(92, 68), 7, 7);
    const QPolygonF wave({{32, 212},
                          {64, 212},
                          {64, 188},
                          {96, 188},
                          {96, 212},
                          {128, 212},
                          {128, 188},
                          {160, 188},
                          {160, 212},
                          {192, 212},
                          {192, 188},
                          {224, 188}});
    p.setPen(QPen(QColor(0x7f, 0xdc, 0x6f), 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(wave);
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}

}  // namespace keldrin
