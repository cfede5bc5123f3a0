#include "serial/SioConfigDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "serial/SioComPort.h"

namespace keldrin::serial {

namespace {

constexpr std::uint32_t kFlowMask =
    fOutX | fInX | fOutxCtsFlow | fRtsControlHandshake | fOutxDsrFlow | fDtrControlHandshake;

}  // namespace

TSioConfigDialog::TSioConfigDialog(int com, const Dcb& dcb, QWidget* parent)
    : QDialog(parent), dcb_(dcb) {
    setWindowTitle(QStringLiteral("COM%1").arg(com));
    setObjectName(QStringLiteral("SioConfigDialog"));

    baud_ = new QComboBox(this);
    baud_->setObjectName(QStringLiteral("cbBaudRate"));
    for (int i = br110; i < brUser; ++i) baud_->addItem(QString::number(BaudRateValue(i)));
    baud_->addItem(tr("User"));
    userRate_ = new QSpinBox(this);
    userRate_->setObjectName(QStringLiteral("seUserBaudRate"));
    userRate_->setRange(1, 16000000);
    dataBits_ = new QComboBox(this);
    dataBits_->setObjectName(QStringLiteral("cbDataBits"));
    for (int bits = 5; bits <= 8; ++bits) dataBits_->addItem(QString::number(bits), bits);
    parity_ = new QComboBox(this);
    parity_->setObjectName(QStringLiteral("cbParity"));
    parity_->addItems({tr("None"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")});
    stopBits_ = new QComboBox(this);
    stopBits_->setObjectName(QStringLiteral("cbStopBits"));
    stopBits_->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});
    flow_ = new QComboBox(this);
    flow_->setObjectName(QStringLiteral("cbFlowControl"));
    // No DTR/DSR handshake: the line cannot do it on this platform.
    flow_->addItem(tr("None"), fwNone);
    flow_->addItem(tr("Xon / Xoff"), fwXOnXOff);
    flow_->addItem(tr("Hardware (RTS/CTS)"), fwRtsCts);

    int baudIndex = brUser;
    for (int i = br110; i < brUser; ++i) {
        if (BaudRateValue(i) == dcb.BaudRate) baudIndex = i;
    }
    baud_->setCurrentIndex(baudIndex);
    userRate_->setValue(dcb.BaudRate > 0 ? static_cast<int>(dcb.BaudRate) : 9600);
    userRate_->setEnabled(baudIndex == brUser);
    connect(baud_, &QComboBox::currentIndexChanged, this,
            [this](int i) { userRate_->setEnabled(i == brUser); });
    const int bitsIndex = dataBits_->findData(static_cast<int>(dcb.ByteSize));
    dataBits_->setCurrentIndex(bitsIndex >= 0 ? bitsIndex : dataBits_->count() - 1);
    parity_->setCurrentIndex(dcb.Parity <= SPACEPARITY ? dcb.Parity : 0);
    stopBits_->setCurrentIndex(dcb.StopBits <= TWOSTOPBITS ? dcb.StopBits : 0);
    if (dcb.Flags & (fOutxCtsFlow | fRtsControlHandshake))
        flow_->setCurrentIndex(2);
    else if (dcb.Flags & (fOutX | fInX))
        flow_->setCurrentIndex(1);
    else
        flow_->setCurrentIndex(0);

    auto* form = new QFormLayout;
    form->addRow(tr("Bits per second:"), baud_);
    form->addRow(tr("User rate:"), userRate_);
    form->addRow(tr("Data bits:"), dataBits_);
    form->addRow(tr("Parity:"), parity_);
    form->addRow(tr("Stop bits:"), stopBits_);
    form->addRow(tr("Flow control:"), flow_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

Dcb TSioConfigDialog::result() const {
    Dcb d = dcb_;
    d.DCBlength = sizeof(Dcb);
    const int b = baud_->currentIndex();
    d.BaudRate = b == brUser ? static_cast<std::uint32_t>(userRate_->value()) : BaudRateValue(b);
    d.ByteSize = static_cast<std::uint8_t>(dataBits_->currentData().toInt());
    d.Parity = static_cast<std::uint8_t>(parity_->currentIndex());
    d.StopBits = static_cast<std::uint8_t>(stopBits_->currentIndex());
    d.Flags &= ~kFlowMask;
    switch (flow_->currentData().toInt()) {
        case fwXOnXOff:
            d.Flags |= fOutX | fInX;
            break;
        case fwRtsCts:
            d.Flags |= fOutxCtsFlow | fRtsControlHandshake;
            d.Flags &= ~fRtsControlEnable;
            break;
        default:
            break;
    }
    return d;
}

bool TSioComPort::RunConfigDialog(QWidget* parent) {
    TSioConfigDialog dialog(comNumber_, dcb_, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    ApplyDcb(dialog.result());
    return true;
}

}  // namespace keldrin::serial
