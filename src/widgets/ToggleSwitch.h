#pragma once

#include <QAbstractButton>

namespace keldrin {

// A two-state switch drawn as a sliding knob; checked means on.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {52, 24}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace keldrin
