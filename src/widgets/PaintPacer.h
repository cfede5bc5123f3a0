#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace keldrin {

// Repaints a top-level window at most 25 times a second. A run changes a few cells and labels
// per firmware line, hundreds of times a second, and every event pump in between would otherwise
// lay out and paint them all again; paced, the screen still shows every change within 40 ms and
// the last state exactly. (At 60 a second, eight stations on one PC spent a fifth of their
// processor time painting.)
class PaintPacer : public QObject {
    Q_OBJECT
  public:
    explicit PaintPacer(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paintNow();

    QPointer<QWidget> window_;
    QPointer<QObject> handle_;  // the window's platform window, once it has one
    QObject* deferredTo_ = nullptr;
    QElapsedTimer sincePaint_;
    QTimer later_;
    bool passing_ = false;
};

}  // namespace keldrin
