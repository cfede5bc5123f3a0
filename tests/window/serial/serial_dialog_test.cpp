// The port configuration dialog: filled from the port's control block, returning one that the
// port takes over, and the modal round trip through RunConfigDialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "serial/SioComPort.h"
#include "serial/SioConfigDialog.h"

using namespace keldrin::serial;

namespace {

// Answers the next modal dialog from inside its event loop.
void whenDialogShows(std::function<void(TSioConfigDialog*)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<TSioConfigDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no configuration dialog is showing";
        answer(dialog);
    });
}

}  // namespace

TEST(ConfigDialog, ShowsThePortsSettingsUnderItsComName) {
    TSioComPort port;
    port.SetComNumber(12);
    port.SetBaudRate(br38400);
    port.SetDatabits(db7);
    port.SetParity(paEven);
    port.SetStopbits(sbTwo);
    port.SetFlowControl(fwRtsCts);
    TSioConfigDialog dialog(port.ComNumber(), port.GetDcb());
    EXPECT_EQ(dialog.windowTitle(), "COM12");
    EXPECT_EQ(dialog.baudRate()->currentText(), "38400");
    EXPECT_FALSE(dialog.userRate()->isEnabled());
    EXPECT_EQ(dialog.dataBits()->currentText(), "7");
    EXPECT_EQ(dialog.parity()->currentIndex(), paEven);
    EXPECT_EQ(dialog.stopBits()->currentText(), "2");
    EXPECT_EQ(dialog.flowControl()->currentIndex(), 2);
    EXPECT_TRUE(dialog.result() == port.GetDcb()) << "unchanged settings give the same block";

    port.SetUserBaudRate(250000);
    TSioConfigDialog user(port.ComNumber(), port.GetDcb());
    EXPECT_EQ(user.baudRate()->currentIndex(), brUser);
    EXPECT_TRUE(user.userRate()->isEnabled());
    EXPECT_EQ(user.userRate()->value(), 250000);
}

TEST(ConfigDialog, ChoicesComeBackAsABlockThePortTakes) {
    TSioComPort port;
    port.SetComNumber(3);
    port.SetFlowControl(fwRtsCts);
    TSioConfigDialog dialog(port.ComNumber(), port.GetDcb());
    dialog.baudRate()->setCurrentIndex(brUser);
    dialog.userRate()->setValue(250000);
    dialog.dataBits()->setCurrentIndex(dialog.dataBits()->findText("5"));
    dialog.parity()->setCurrentIndex(paMark);
    dialog.stopBits()->setCurrentIndex(sbOneAndHalf);
    dialog.flowControl()->setCurrentIndex(1);  // Xon / Xoff
    const Dcb d = dialog.result();
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 250000u);
    EXPECT_EQ(d.ByteSize, 5);
    EXPECT_EQ(d.Parity, MARKPARITY);
    EXPECT_EQ(d.StopBits, ONE5STOPBITS);
    EXPECT_EQ(d.Flags & (fOutX | fInX), static_cast<std::uint32_t>(fOutX | fInX));
    EXPECT_EQ(d.Flags & (fOutxCtsFlow | fRtsControlHandshake), 0u);
    port.ApplyDcb(d);
    EXPECT_EQ(port.FlowControl(), fwXOnXOff);
    EXPECT_EQ(port.SettingsText(), "COM3: 250000,M,5,1.5");
}

TEST(ConfigDialog, RunConfigDialogAppliesOnlyWhatWasAccepted) {
    TSioComPort port;
    port.SetComNumber(7);
    port.SetBaudRate(br9600);
    whenDialogShows([](TSioConfigDialog* d) {
        d->baudRate()->setCurrentIndex(br115200);
        d->reject();
    });
    EXPECT_FALSE(port.RunConfigDialog());
    EXPECT_EQ(port.BaudRate(), br9600);

    whenDialogShows([](TSioConfigDialog* d) {
        EXPECT_EQ(d->windowTitle(), "COM7");
        d->baudRate()->setCurrentIndex(br115200);
        d->parity()->setCurrentIndex(paOdd);
        d->accept();
    });
    EXPECT_TRUE(port.RunConfigDialog());
    EXPECT_EQ(port.SettingsText(), "COM7: 115200,O,8,1");
}

int main(int argc, char** argv) {
    // Listing the cases at build time happens without a screen as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
