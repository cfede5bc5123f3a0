#pragma once

#include <QTimer>
#include <QWidget>

namespace keldrin {

// A small looping picture: a serial line's square wave running past, with a dot riding it.
class WaveAnimator : public QWidget {
    Q_OBJECT
  public:
    explicit WaveAnimator(QWidget* parent = nullptr);
    void start();
    void stop();
    bool isAnimating() const { return timer_.isActive(); }
    int frame() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace keldrin
