#pragma once

#include <QFrame>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;

namespace keldrin {

inline const QString kHintHeader = QStringLiteral("Keldrin Hint:   (Set/Unset Hint In Help Menu)");

// One balloon: a header, the hint text and a close button; it goes away by itself.
class BalloonHint : public QFrame {
    Q_OBJECT
  public:
    explicit BalloonHint(QWidget* parent = nullptr);
    void showHint(const QString& text, const QPoint& globalPos, int visibleMs);
    QString hintText() const;

  private:
    QLabel* text_;
    QTimer hideTimer_;
};

// Shows every widget's tool tip as a balloon, and none while hints are switched off. One per
// application, installed on the application object.
class HintController : public QObject {
    Q_OBJECT
  public:
    explicit HintController(QObject* parent = nullptr);
    ~HintController() override;

    bool showHint() const { return showHint_; }
    void setShowHint(bool on);
    BalloonHint* balloon() const { return balloon_; }
    static constexpr int kVisibleMs = 3500;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool showHint_ = true;
    QPointer<BalloonHint> balloon_;
};

}  // namespace keldrin
