#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QVector>

namespace keldrin {

// A panel of a status bar that can also draw itself as a gauge: while its text is a whole number
// followed by "%", that share of the panel is filled.
class StatusPanel : public QLabel {
    Q_OBJECT
  public:
    explicit StatusPanel(QWidget* parent = nullptr);
    void setGauge(bool gauge) { gauge_ = gauge; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool gauge_ = false;
};

// A status bar made of numbered text panels, addressed by index like the panels of the old bar.
class StatusPanels : public QStatusBar {
    Q_OBJECT
  public:
    struct PanelSpec {
        QString text;
        int width;  // 0: fits its text
        Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
        bool bevel = true;
        QString hint;
        bool gauge = false;
    };
    explicit StatusPanels(const QVector<PanelSpec>& panels, QWidget* parent = nullptr);

    int panelCount() const { return int(panels_.size()); }
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    StatusPanel* panel(int index) const { return panels_.value(index); }

  private:
    QVector<StatusPanel*> panels_;
};

}  // namespace keldrin
