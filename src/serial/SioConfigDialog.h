#pragma once

// The port configuration dialog: baud rate (the list or a rate of the user's own), data bits,
// parity, stop bits and flow control, filled from a control block and returning one.

#include <QDialog>

#include "serial/platform/CommTypes.h"

class QComboBox;
class QSpinBox;

namespace keldrin::serial {

class TSioConfigDialog : public QDialog {
    Q_OBJECT
  public:
    // Titled "COM<com>".
    TSioConfigDialog(int com, const Dcb& dcb, QWidget* parent = nullptr);
    // The block given, with the settings the user chose.
    Dcb result() const;

    QComboBox* baudRate() const { return baud_; }
    QSpinBox* userRate() const { return userRate_; }
    QComboBox* dataBits() const { return dataBits_; }
    QComboBox* parity() const { return parity_; }
    QComboBox* stopBits() const { return stopBits_; }
    QComboBox* flowControl() const { return flow_; }

  private:
    Dcb dcb_;
    QComboBox* baud_;
    QSpinBox* userRate_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
    QComboBox* flow_;
};

}  // namespace keldrin::serial
