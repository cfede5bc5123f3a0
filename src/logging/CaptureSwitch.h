#pragma once

#include <QObject>
#include <QString>

class QCheckBox;

namespace keldrin {

namespace serial {
class TSioComPort;
}

// The "SaveRx2File" switch: while it is checked, received blocks go into a capture file named
// after the application title and the moment capture began, instead of the receive window.
class CaptureSwitch : public QObject {
    Q_OBJECT
  public:
    CaptureSwitch(QCheckBox* chkSaveRx2File, serial::TSioComPort* port, QObject* parent = nullptr);

    // Full path of the current (or last) capture file; empty until capture was first switched on.
    QString RxLogFileName;

    void chkSaveRx2FileClick();

  private:
    QCheckBox* box_;
    serial::TSioComPort* port_;
};

}  // namespace keldrin
