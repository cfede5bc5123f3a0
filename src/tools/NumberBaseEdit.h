#pragma once

// A number field that holds one whole number and shows it in hexadecimal ("$1234"), binary or
// decimal. Changing the base changes only what is shown; typing accepts only the digits of the
// base shown.

#include <QLineEdit>
#include <cstdint>

#include "tools/NumberBase.h"

namespace keldrin {

class NumberBaseEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit NumberBaseEdit(QWidget* parent = nullptr);

    std::uint64_t value() const { return value_; }
    void setValue(std::uint64_t value);
    NumberBase base() const { return base_; }
    void setBase(NumberBase base);

    // The value as hex digits ("1234"), the form the settings file keeps. Setting a text that is
    // not hexadecimal leaves the value as it is and returns false.
    QString AsHex() const;
    bool setAsHex(const QString& text);

  signals:
    void valueChanged(quint64 value);

  private:
    void showValue();

    std::uint64_t value_ = 0x1234;
    NumberBase base_ = NumberBase::Hex;
};

}  // namespace keldrin
