#pragma once

// The pocket calculator behind the calculator field: digits, the decimal point, + - * /, = and
// C, worked from left to right as a pocket calculator does (2 + 3 * 4 = 20).

#include <QString>

namespace keldrin {

class Calculator {
  public:
    explicit Calculator(double start = 0);

    // One key: '0'..'9', '.', '+', '-', '*', '/', '=', 'C'. Other keys are ignored.
    void press(char key);
    void pressAll(const char* keys);

    // What the display shows; "Error" after a division by zero until C.
    QString display() const { return display_; }
    bool failed() const { return failed_; }
    // The number shown (0 while failed).
    double value() const;

  private:
    void applyPending();

    QString display_;
    double accumulator_ = 0;
    char pending_ = 0;        // operator waiting for its right operand
    bool startEntry_ = true;  // the next digit starts a new number
    bool failed_ = false;
};

// The shortest decimal text that reads back as the same double ("0.1", "4660", "1e+300").
QString FormatCalcValue(double value);

}  // namespace keldrin
