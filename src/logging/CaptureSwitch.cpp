#include "logging/CaptureSwitch.h"

#include <QCheckBox>

#include "logging/LogFiles.h"
#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "serial/SioComPort.h"

namespace keldrin {

CaptureSwitch::CaptureSwitch(QCheckBox* chkSaveRx2File, serial::TSioComPort* port, QObject* parent)
    : QObject(parent), box_(chkSaveRx2File), port_(port) {
    connectGuarded(box_, &QCheckBox::clicked, this, "chkSaveRx2FileClick",
                   [this] { chkSaveRx2FileClick(); });
}

void CaptureSwitch::chkSaveRx2FileClick() {
    if (box_->isChecked()) {
        // Nothing is written yet: the first received block creates the file.
        RxLogFileName = RxCaptureFileName(platform::applicationTitle());
        return;
    }
    port_->PurgeReceive();
    port_->PurgeTransmit();
    PumpOnce();
    AppendLogLine(RxLogFileName, QByteArray());
    AppendLogLine(RxLogFileName, QByteArrayLiteral("====== E N D ========="));
}

}  // namespace keldrin
