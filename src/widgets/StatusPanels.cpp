#include "widgets/StatusPanels.h"

#include <QPainter>
#include <QRegularExpression>

namespace keldrin {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {}

void StatusPanel::paintEvent(QPaintEvent* event) {
    if (gauge_) {
        static const QRegularExpression percent(QStringLiteral("^(\\d{1,3})%$"));
        const auto m = percent.match(text());
        if (m.hasMatch()) {
            const int share = qMin(100, m.captured(1).toInt());
            QPainter p(this);
            QRect fill = contentsRect();
            fill.setWidth(fill.width() * share / 100);
            p.fillRect(fill, palette().highlight());
        }
    }
    QLabel::paintEvent(event);
}

StatusPanels::StatusPanels(const QVector<PanelSpec>& panels, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    for (const PanelSpec& panelSpec : panels) {
        auto* label = new StatusPanel(this);
        label->setText(panelSpec.text);
        label->setAlignment(panelSpec.align);
        label->setGauge(panelSpec.gauge);
        label->setFrameShape(panelSpec.bevel ? QFrame::Panel : QFrame::NoFrame);
        label->setFrameShadow(QFrame::Sunken);
        if (panelSpec.width > 0) label->setMinimumWidth(panelSpec.width);
        if (!panelSpec.hint.isEmpty()) label->setToolTip(panelSpec.hint);
        addWidget(label, 0);
        panels_.push_back(label);
    }
}

QString StatusPanels::panelText(int index) const {
    const StatusPanel* p = panels_.value(index);
    return p ? p->text() : QString();
}

void StatusPanels::setPanelText(int index, const QString& text) {
    if (StatusPanel* p = panels_.value(index)) p->setText(text);
}

}  // namespace keldrin
