#pragma once

#include <QLabel>
#include <QTimer>

namespace keldrin {

// A label that can blink its text on and off.
class BlinkingLabel : public QLabel {
    Q_OBJECT
  public:
    explicit BlinkingLabel(QWidget* parent = nullptr);
    void startBlinking(int periodMs = 500);
    void stopBlinking();
    bool isBlinking() const { return timer_.isActive(); }

  private:
    QTimer timer_;
    bool dimmed_ = false;
};

}  // namespace keldrin
