#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace keldrin {

// A round lamp; while active it lights, or blinks when a blink period is set.
class LedLamp : public QWidget {
    Q_OBJECT
  public:
    explicit LedLamp(QColor colour = Qt::green, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {18, 18}; }

    bool isActive() const { return active_; }
    void setActive(bool on);
    bool isLit() const { return lit_; }
    void setLit(bool on);
    // 0: steady while active.
    void setBlinkPeriod(int ms);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_;
    bool active_ = false;
    bool lit_ = false;
    int blinkMs_ = 0;
    QTimer blink_;
};

}  // namespace keldrin
