#pragma once

// A number field with a pop-up pocket calculator. The calculator starts from the field's value;
// "=" writes its result back into the field.

#include <QWidget>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;

namespace keldrin {

class Calculator;

class CalcEdit : public QWidget {
    Q_OBJECT
  public:
    explicit CalcEdit(QWidget* parent = nullptr);
    ~CalcEdit() override;

    // The value as a double; the field shows it, and setting it keeps it bit for bit.
    double value() const { return value_; }
    void setValue(double value);

    QLineEdit* field() const { return field_; }
    QToolButton* calculatorButton() const { return button_; }
    // The pop-up (created on first use); its keys are buttons named "calcKey_<key>", e.g.
    // "calcKey_7", "calcKey_+", "calcKey_=".
    QFrame* calculator() const { return popup_; }
    QString calculatorDisplay() const;
    void openCalculator();
    void pressCalculatorKey(char key);

  signals:
    void valueChanged(double value);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildPopup();

    double value_ = 0;
    QLineEdit* field_;
    QToolButton* button_;
    QFrame* popup_ = nullptr;
    QLabel* display_ = nullptr;
    std::unique_ptr<Calculator> calc_;
};

}  // namespace keldrin
