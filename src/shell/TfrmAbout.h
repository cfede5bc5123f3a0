#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace keldrin {

class WaveAnimator;

// The About box: created hidden at start after the main window, shown modally from
// Help > About. Its version text is rebuilt from the program file every time it becomes active.
class TfrmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* lblApplicationTitle = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "Thanks! "
    QPushButton* BitBtn2 = nullptr;  // "Cancel"
    WaveAnimator* RxGIFAnimator1 = nullptr;

    void FormCreate();
    void FormActivate();
    void BitBtn1Click();
    void BitBtn2Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
};

}  // namespace keldrin
