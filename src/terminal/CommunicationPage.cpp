#include "terminal/CommunicationPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "widgets/ByteLinesView.h"
#include "widgets/LedLamp.h"
#include "widgets/TerminalView.h"
#include "widgets/ToggleSwitch.h"

namespace keldrin {

namespace {

template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

const char kEscapeLegend[] =
    "! <-means <CR>;  ~ <-pause of 200 msec;  / <-means comments;  ^ <-means <ESC>";

// The vertical caption beside a window; a double click on it clears that window.
QLabel* sideLabel(const QString& text, const char* name) {
    auto* l = named(new QLabel, name);
    QString vertical;
    for (QChar c : text) vertical += QString(c) + QLatin1Char('\n');
    vertical.chop(1);
    l->setText(vertical);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("QLabel { color: navy; font-weight: bold; }"));
    return l;
}

}  // namespace

CommunicationPage::CommunicationPage(QWidget* sheet, QWidget* terminalParent) : QObject(sheet) {
    auto* page = new QVBoxLayout(sheet);
    page->setContentsMargins(4, 4, 4, 4);

    // --- receive window and its options ---
    auto* rxOptions = new QHBoxLayout;
    auto* limitLabel = new QLabel(QStringLiteral("Limit number of lines in Receive window"));
    SpinEdit_RX_maxLines = named(new QSpinBox, "SpinEdit_RX_maxLines");
    SpinEdit_RX_maxLines->setRange(1, 999);
    SpinEdit_RX_maxLines->setValue(200);
    SpinEdit_RX_maxLines->setToolTip(QStringLiteral("Limit number of lines in Receive window"));
    limitLabel->setToolTip(SpinEdit_RX_maxLines->toolTip());
    chkbx_RXAutoscroll =
        named(new QCheckBox(QStringLiteral("RX Autoscroll")), "chkbx_RXAutoscroll");
    chkbx_RXAutoscroll->setToolTip(QStringLiteral("Automatically scrolls the data in the window"));
    chkbx_RXAutoscroll->setChecked(true);
    chkSaveRx2File = named(new QCheckBox(QStringLiteral("SaveRx2File")), "chkSaveRx2File");
    chkSaveRx2File->setToolTip(QStringLiteral(
        "This is an internal command of Keldrin: \r\n\r\nChecked: all send and receive data from "
        "now will be stored into \"Keldrin+CommNumber+Date+Time.log\" file and will NOT be "
        "shown\r\n\r\nUnchecked: All send and receive data from now will NOT be stored into "
        "\".log\" file and will be shown"));
    chkBox_ShowSpecialChars =
        named(new QCheckBox(QStringLiteral("Show Special Chars")), "chkBox_ShowSpecialChars");
    chkBox_ShowSpecialChars->setToolTip(QStringLiteral("Show Special (non ASCII) Chars"));
    rxOptions->addWidget(limitLabel);
    rxOptions->addWidget(SpinEdit_RX_maxLines);
    rxOptions->addSpacing(12);
    rxOptions->addWidget(chkbx_RXAutoscroll);
    rxOptions->addWidget(chkSaveRx2File);
    rxOptions->addWidget(chkBox_ShowSpecialChars);
    rxOptions->addStretch(1);
    page->addLayout(rxOptions);

    auto* rxRow = new QHBoxLayout;
    JvLabel1 = sideLabel(QStringLiteral("Receive Window"), "JvLabel1");
    JvLabel1->setToolTip(QStringLiteral("Double Click to Clear Received Data"));
    SynEditReceiving = named(new ByteLinesView, "SynEditReceiving");
    SynEditReceiving->setToolTip(QStringLiteral(
        "Receiving Window\r\n\r\nDoubleClick on a line to see its ASCII Values\r\n\r\nAll "
        "received info you may find in LOG file"));
    SynEditReceiving->setLines({QByteArrayLiteral("Receiving Window")});
    rxRow->addWidget(JvLabel1);
    rxRow->addWidget(SynEditReceiving, 1);
    page->addLayout(rxRow, 3);

    SioTerminal1 = named(new TerminalView(terminalParent), "SioTerminal1");
    SioTerminal1->setToolTip(QStringLiteral("Terminal Window"));
    SioTerminal1->hide();

    // --- send field and buttons ---
    auto* sendGrid = new QGridLayout;
    edEditSendData = named(new QLineEdit, "edEditSendData");
    edEditSendData->setToolTip(QStringLiteral(
        "Sending String - Data to Send \r\n\r\nDouble click on a string to copy and store it in "
        "the window above\r\n\r\nPlease, note:\r\n! <-means <CR>;  ~ <-pause of 200 msec;  / "
        "<-means comments;  ^ <-means <ESC>\r\nas well you can Force different cases of the "
        "sending strings\r\n\r\nAll sent info you can find in LOG file"));
    StaticText1 = named(new QLabel(QString::fromLatin1(kEscapeLegend)), "StaticText1");
    StaticText1->setToolTip(QString::fromLatin1(kEscapeLegend));
    ButtonSendOnce = named(new QPushButton(QStringLiteral("Send Once")), "ButtonSendOnce");
    ButtonSendOnce->setToolTip(QStringLiteral("Press to Send Once"));
    BitBtnAbort = named(new QPushButton(QStringLiteral("&Abort")), "BitBtnAbort");
    BitBtnAbort->hide();
    chkHandleBinData =
        named(new QCheckBox(QStringLiteral("Handle Data as BINary")), "chkHandleBinData");
    chkHandleBinData->setToolTip(QStringLiteral(
        "This is an internal command of Keldrin: \r\n \r\nChecked:  all send and receive data "
        "from now will be handle as a \"binary\" data\r\nUnchecked: All send and receive data "
        "from now will be handle as a \"HEXADECIMAL\"(ASCII) data\r\n\r\nRead-Only: changed in "
        "\"Type of Command\" cell of the project"));
    sendGrid->addWidget(edEditSendData, 0, 0);
    sendGrid->addWidget(ButtonSendOnce, 0, 1);
    sendGrid->addWidget(BitBtnAbort, 0, 2);
    sendGrid->addWidget(StaticText1, 1, 0);
    sendGrid->addWidget(chkHandleBinData, 1, 1, 1, 2);
    sendGrid->setColumnStretch(0, 1);
    page->addLayout(sendGrid);

    // --- loop sending and letter case ---
    auto* middle = new QHBoxLayout;
    GroupBoxSendInLoop = named(new QGroupBox(QStringLiteral("Send in Loop")), "GroupBoxSendInLoop");
    GroupBoxSendInLoop->setToolTip(QStringLiteral("Send your Data each xxx seconds"));
    auto* loop = new QHBoxLayout(GroupBoxSendInLoop);
    janToggle1 = named(new ToggleSwitch, "janToggle1");
    janToggle1->setToolTip(QStringLiteral("Start/Stop Loop Sending"));
    SpinEdit4Loop = named(new QSpinBox, "SpinEdit4Loop");
    SpinEdit4Loop->setRange(1, 999);
    SpinEdit4Loop->setValue(1);
    SpinEdit4Loop->setSuffix(QStringLiteral(" s"));
    SpinEdit4Loop->setToolTip(QStringLiteral("Send your Data each xxx seconds"));
    JvLED1 = named(new LedLamp(Qt::green), "JvLED1");
    JvLED1->setBlinkPeriod(500);
    JvLED1->hide();
    JvWaitingProgress1 = named(new QProgressBar, "JvWaitingProgress1");
    JvWaitingProgress1->setTextVisible(false);
    JvWaitingProgress1->setMaximumHeight(12);
    JvWaitingProgress1->hide();
    janToggle1->setFixedSize(janToggle1->sizeHint());
    SpinEdit4Loop->setFixedWidth(80);
    loop->addWidget(janToggle1);
    loop->addWidget(SpinEdit4Loop);
    loop->addWidget(JvLED1);
    loop->addWidget(JvWaitingProgress1, 1);
    loop->addStretch(0);
    Timer4Loop = new QTimer(this);
    Timer4Loop->setObjectName(QStringLiteral("Timer4Loop"));
    Timer4Loop->setInterval(1000);

    auto* caseBox = new QGroupBox;
    caseBox->setToolTip(QStringLiteral("you can Force different Cases of sent string"));
    auto* cases = new QHBoxLayout(caseBox);
    RadioButtonForceLowCase =
        named(new QRadioButton(QStringLiteral("Force low Case")), "RadioButtonForceLowCase");
    RadioButton1 = named(new QRadioButton(QStringLiteral("Force CAPITAL Case")), "RadioButton1");
    RadioButton2 = named(new QRadioButton(QStringLiteral("normal Case")), "RadioButton2");
    for (QRadioButton* r : {RadioButtonForceLowCase, RadioButton1, RadioButton2}) {
        r->setToolTip(caseBox->toolTip());
        cases->addWidget(r);
    }
    RadioButton2->setChecked(true);
    middle->addWidget(GroupBoxSendInLoop, 1);
    middle->addWidget(caseBox);
    page->addLayout(middle);

    // --- the sending list ---
    auto* txRow = new QHBoxLayout;
    JvLabel2 = sideLabel(QStringLiteral("Transmit"), "JvLabel2");
    JvLabel2->setToolTip(QStringLiteral("Double Click to Clear Transmitted Data"));
    SynEditSending = named(new QPlainTextEdit, "SynEditSending");
    SynEditSending->setToolTip(QStringLiteral(
        "here you can store your preselected (prepared) sets of sending strings \r\n\r\nDouble "
        "click on a string to copy it to the sending field\r\nPress middle Mouse button to send "));
    SynEditSending->setPlainText(QStringLiteral("Strings to SEND \nSynEditSending"));
    ButtonPleaseSave = named(new QPushButton(QStringLiteral("Please, Save")), "ButtonPleaseSave");
    ButtonPleaseSave->hide();
    chkbx_TXAutoscroll =
        named(new QCheckBox(QStringLiteral("TX Autoscroll")), "chkbx_TXAutoscroll");
    chkbx_TXAutoscroll->setToolTip(QStringLiteral("Automatically scrolls the data in the window"));
    chkbx_TXAutoscroll->setChecked(true);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(SynEditSending, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(chkbx_TXAutoscroll);
    listButtons->addStretch(1);
    listButtons->addWidget(ButtonPleaseSave);
    listColumn->addLayout(listButtons);
    txRow->addWidget(JvLabel2);
    txRow->addLayout(listColumn, 1);
    page->addLayout(txRow, 2);
}

}  // namespace keldrin
