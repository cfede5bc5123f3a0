#include "tools/Calculator.h"

#include <cmath>
#include <cstring>

namespace keldrin {

QString FormatCalcValue(double value) {
    if (!std::isfinite(value)) return QStringLiteral("Error");
    // Whole numbers of ordinary size keep all their digits rather than turn into "2e+01".
    int least = 1;
    for (double v = std::fabs(value); v >= 10 && v < 1e15 && least < 17; v /= 10) ++least;
    for (int precision = least; precision <= 17; ++precision) {
        const QString text = QString::number(value, 'g', precision);
        if (text.toDouble() == value) return text;
    }
    return QString::number(value, 'g', 17);
}

Calculator::Calculator(double start) : display_(FormatCalcValue(start)), accumulator_(start) {}

double Calculator::value() const {
    return failed_ ? 0.0 : display_.toDouble();
}

void Calculator::applyPending() {
    const double right = display_.toDouble();
    double result = right;
    switch (pending_) {
        case '+':
            result = accumulator_ + right;
            break;
        case '-':
            result = accumulator_ - right;
            break;
        case '*':
            result = accumulator_ * right;
            break;
        case '/':
            if (right == 0) {
                failed_ = true;
                display_ = QStringLiteral("Error");
                return;
            }
            result = accumulator_ / right;
            break;
        default:
            break;
    }
    if (!std::isfinite(result)) {
        failed_ = true;
        display_ = QStringLiteral("Error");
        return;
    }
    accumulator_ = result;
    display_ = FormatCalcValue(result);
}

void Calculator::press(char key) {
    if (key == 'C') {
        *this = Calculator(0);
        return;
    }
    if (failed_) return;  // only C leaves the error
    if ((key >= '0' && key <= '9') || key == '.') {
        if (startEntry_) {
            display_ = key == '.' ? QStringLiteral("0.") : QString(QLatin1Char(key));
            startEntry_ = false;
            return;
        }
        if (key == '.' && display_.contains(QLatin1Char('.'))) return;
        if (display_ == QLatin1String("0") && key != '.')
            display_ = QString(QLatin1Char(key));
        else
            display_ += QLatin1Char(key);
        return;
    }
    if (key == '+' || key == '-' || key == '*' || key == '/' || key == '=') {
        // A second operator in a row only replaces the first.
        if (!startEntry_ || key == '=') {
            if (pending_) {
                applyPending();
                if (failed_) return;
            } else {
                accumulator_ = display_.toDouble();
            }
        }
        pending_ = key == '=' ? 0 : key;
        startEntry_ = true;
    }
}

void Calculator::pressAll(const char* keys) {
    for (std::size_t i = 0; i < std::strlen(keys); ++i) press(keys[i]);
}

}  // namespace keldrin
