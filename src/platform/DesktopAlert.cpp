#include "platform/DesktopAlert.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace keldrin::platform {

void DesktopAlerts::show(const QString& header, const QString& message, AlertPicture picture,
                         int visibleMs) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    auto* w = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                       Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    w->setObjectName(QStringLiteral("DesktopAlert"));
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setStyleSheet(
        QStringLiteral("QWidget#DesktopAlert { background: #fffbe6; border: 1px solid #8a7a3a; }"));

    auto* icon = new QLabel(w);
    QStyle::StandardPixmap sp = picture == AlertPicture::Error ? QStyle::SP_MessageBoxCritical
                                : picture == AlertPicture::Warning
                                    ? QStyle::SP_MessageBoxWarning
                                    : QStyle::SP_MessageBoxInformation;
    icon->setPixmap(w->style()->standardIcon(sp).pixmap(32, 32));
    auto* head = new QLabel(header, w);
    QFont bold = head->font();
    bold.setBold(true);
    head->setFont(bold);
    auto* text = new QLabel(message, w);
    text->setWordWrap(true);

    auto* column = new QVBoxLayout;
    column->addWidget(head);
    column->addWidget(text);
    auto* row = new QHBoxLayout(w);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    w->setFixedWidth(340);
    w->adjustSize();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        w->move(area.right() - w->width() - 12, area.bottom() - w->height() - 12);
    }
    w->show();
    QTimer::singleShot(visibleMs > 0 ? visibleMs : 3000, w, &QWidget::close);
}

}  // namespace keldrin::platform
