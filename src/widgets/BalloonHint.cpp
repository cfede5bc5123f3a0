#include "widgets/BalloonHint.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace keldrin {

BalloonHint::BalloonHint(QWidget* parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("BalloonHint"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameShape(QFrame::Box);
    setStyleSheet(
        QStringLiteral("QFrame#BalloonHint { background: #ffffe1; border: 1px solid #767676; "
                       "border-radius: 6px; }"));
    auto* header = new QLabel(kHintHeader, this);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("\u00d7"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setMaximumWidth(420);

    auto* top = new QHBoxLayout;
    top->addWidget(header, 1);
    top->addWidget(close, 0);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 8);
    column->addLayout(top);
    column->addWidget(text_);

    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void BalloonHint::showHint(const QString& text, const QPoint& globalPos, int visibleMs) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text_->setText(shown);
    adjustSize();
    QPoint pos = globalPos + QPoint(12, 16);
    if (QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        pos.setX(qMin(pos.x(), area.right() - width()));
        pos.setY(qMin(pos.y(), area.bottom() - height()));
    }
    move(pos);
    show();
    raise();
    hideTimer_.start(visibleMs);
}

QString BalloonHint::hintText() const {
    return text_->text();
}

HintController::HintController(QObject* parent) : QObject(parent) {}

HintController::~HintController() {
    delete balloon_;
}

void HintController::setShowHint(bool on) {
    showHint_ = on;
    if (!on && balloon_) balloon_->hide();
}

bool HintController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QObject::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return QObject::eventFilter(watched, event);
    // While hints are off no tip of any kind appears.
    if (!showHint_) return true;
    const QString tip = widget->toolTip();
    if (tip.isEmpty()) return false;  // e.g. tab bars and headers that answer tips themselves
    if (!balloon_) balloon_ = new BalloonHint;
    balloon_->showHint(tip, static_cast<QHelpEvent*>(event)->globalPos(), kVisibleMs);
    return true;
}

}  // namespace keldrin
