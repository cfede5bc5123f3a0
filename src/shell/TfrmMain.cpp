#include "shell/TfrmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "logging/CaptureSwitch.h"
#include "logging/LogFiles.h"
#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/CommandLine.h"
#include "runner/CommandTable.h"
#include "runner/ProductionFlow.h"
#include "runner/ProjectFile.h"
#include "runner/Runner.h"
#include "serial/SioComPort.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "serial/discovery/TXComm.h"
#include "shell/ErrorLog.h"
#include "shell/FormSettings.h"
#include "shell/HelpMenu.h"
#include "shell/PortControl.h"
#include "shell/TableEditing.h"
#include "shell/TfrmAbout.h"
#include "terminal/CommunicationPage.h"
#include "terminal/Receiver.h"
#include "terminal/Transmitter.h"
#include "tools/CalculationsPage.h"
#include "tools/HexEditorPage.h"
#include "tools/HexRecordPage.h"
#include "widgets/AppIcon.h"
#include "widgets/BalloonHint.h"
#include "widgets/BlinkingLabel.h"
#include "widgets/ByteLinesView.h"
#include "widgets/FilenameEdit.h"
#include "widgets/LedLamp.h"
#include "widgets/PaintPacer.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"
#include "widgets/ToggleSwitch.h"

namespace keldrin {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QAction* namedAction(QObject* parent, const char* name, const QString& caption) {
    auto* a = new QAction(caption, parent);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

const QString kCheckSumHint = QStringLiteral(
    "Calculated CheckSum must be indentical to Expected CheckSum.\r\n\r\n"
    "CheckSum calculation is usually a last action of programming process.  \r\n"
    "CheckSum gives us an ability to verify all processed actions.");

}  // namespace

TfrmMain::TfrmMain(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(arguments) {
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowTitle(QStringLiteral("Keldrin==> no command file"));

    errorLog_ = std::make_unique<ErrorLog>();
    setErrorTrap(
        [this](const std::exception& e, const char* where) { errorLog_->record(e, where); });

    hints_ = new HintController(this);
    qApp->installEventFilter(hints_);
    new PaintPacer(this);

    buildMenus();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    setCentralWidget(client);
    buildOperatorPanel();
    buildEngineeringView();
    clientLayout->addWidget(Panel_Default);
    clientLayout->addWidget(Panel2);
    buildStatusBars();
    buildTerminal();
    buildRunner();
    buildPortControl();

    setWindowIcon(AppIcon());
    frmAbout = new TfrmAbout(this);
    helpMenu = new HelpMenu(frmAbout, this);
    settings = new FormSettings(*this);
    // Every width change is stored, all eight widths at once.
    connectGuarded(tableEditing, &TableEditing::StringGrid1ColWidthsChanged, this,
                   "StringGrid1ColWidthsChanged", [this](int column) {
                       // The stretched last column follows the window, not the operator.
                       if (column == kCommandColumnCount - 1 &&
                           StringGrid1->horizontalHeader()->stretchLastSection())
                           return;
                       settings->saveColumnWidths();
                   });

    setMinimumSize(670, 460);
    resize(908, 596 + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TfrmMain::~TfrmMain() {
    settings->saveFormGroup();  // does nothing when the close saved it already
    qApp->removeEventFilter(hints_);
    setErrorTrap(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Construction of the controls

void TfrmMain::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    OpenApplicationFolder1 =
        namedAction(this, "OpenApplicationFolder1", QStringLiteral("Open Application Folder"));
    file->addAction(OpenApplicationFolder1);
    file->addSeparator();
    MIExit = namedAction(this, "MIExit", QStringLiteral("E&xit"));
    MIExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    file->addAction(MIExit);

    QMenu* mode = menuBar()->addMenu(QStringLiteral("Mode"));
    mode->setObjectName(QStringLiteral("Mode1"));
    mnuDefault = namedAction(this, "mnuDefault", QStringLiteral("Default"));
    mnuSimplified = namedAction(this, "mnuSimplified", QStringLiteral("Simplified"));
    mnuAdvancedMode = namedAction(this, "mnuAdvancedMode", QStringLiteral("Advanced Mode"));
    auto* modes = new QActionGroup(this);
    for (QAction* a : {mnuDefault, mnuSimplified, mnuAdvancedMode}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    mnuDefault->setChecked(true);
    mode->addAction(mnuDefault);
    mode->addSeparator();
    mode->addAction(mnuSimplified);
    mode->addAction(mnuAdvancedMode);
    mode->addSeparator();
    useupto255CommPorts1 =
        namedAction(this, "useupto255CommPorts1", QStringLiteral("use up to 255 CommPorts"));
    useupto24CommPorts1 =
        namedAction(this, "useupto24CommPorts1", QStringLiteral("use up to 24 CommPorts"));
    auto* quantity = new QActionGroup(this);
    for (QAction* a : {useupto255CommPorts1, useupto24CommPorts1}) {
        a->setCheckable(true);
        quantity->addAction(a);
        mode->addAction(a);
    }
    useupto24CommPorts1->setChecked(true);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    About1 = namedAction(this, "About1", QStringLiteral("About"));
    help->addAction(About1);
    help->addSeparator();
    mnuShowHint = namedAction(this, "mnuShowHint", QStringLiteral("Show Hint"));
    mnuShowHint->setCheckable(true);
    mnuShowHint->setChecked(true);
    help->addAction(mnuShowHint);
    Versions1 = namedAction(this, "Versions1", QStringLiteral("Versions"));
    help->addAction(Versions1);

    // The settings shortcut lives in a menu that is never shown; the action on the window keeps
    // its shortcut working.
    MISettings = namedAction(this, "MISettings", QStringLiteral("Settings"));
    MISettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    MISettings->setEnabled(false);
    addAction(MISettings);

    connectGuarded(MIExit, &QAction::triggered, this, "MIExitClick", [this] { MIExitClick(); });
    connectGuarded(About1, &QAction::triggered, this, "About1Click",
                   [this] { helpMenu->About1Click(); });
    connectGuarded(Versions1, &QAction::triggered, this, "Versions1Click",
                   [this] { helpMenu->Versions1Click(); });
    connectGuarded(OpenApplicationFolder1, &QAction::triggered, this,
                   "OpenApplicationFolder1Click",
                   [this] { helpMenu->OpenApplicationFolder1Click(); });
    connectGuarded(mnuDefault, &QAction::triggered, this, "mnuDefaultClick",
                   [this] { mnuDefaultClick(); });
    connectGuarded(mnuSimplified, &QAction::triggered, this, "mnuSimplifiedClick",
                   [this] { mnuSimplifiedClick(); });
    connectGuarded(mnuAdvancedMode, &QAction::triggered, this, "mnuAdvancedModeClick",
                   [this] { mnuAdvancedModeClick(); });
    connectGuarded(mnuShowHint, &QAction::triggered, this, "mnuShowHintClick",
                   [this] { mnuShowHintClick(); });
}

void TfrmMain::buildOperatorPanel() {
    Panel_Default = named(new QFrame, "Panel_Default");
    auto* column = new QVBoxLayout(Panel_Default);
    column->setContentsMargins(16, 12, 16, 8);
    column->setSpacing(10);

    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.25);

    GroupBox_Project = named(new QGroupBox(Panel_Default), "GroupBox_Project");
    auto* projectRow = new QHBoxLayout(GroupBox_Project);
    SpeedButton1 = named(new QPushButton(QStringLiteral("Load Project=>")), "SpeedButton1");
    SpeedButton1->setToolTip(QStringLiteral("opens previously prepared commands set"));
    SpeedButton1->setMinimumSize(170, 40);
    SpeedButton1->setFont(big);
    lblCurrentProject =
        named(new QLabel(QStringLiteral("Current Project: <Blank>")), "lblCurrentProject");
    lblCurrentProject->setTextFormat(Qt::PlainText);
    lblCurrentProject->setFont(big);
    projectRow->addWidget(SpeedButton1);
    projectRow->addSpacing(12);
    projectRow->addWidget(lblCurrentProject, 1);
    column->addWidget(GroupBox_Project);

    auto* portRow = new QHBoxLayout;
    auto* portLabel = new QLabel(QStringLiteral("CommPort:"));
    SioPortComboBox3 = named(new serial::TSioPortComboBox, "SioPortComboBox3");
    SioPortComboBox3->setToolTip(QStringLiteral("Please, select a CommPort"));
    SioPortComboBox3->setMinimumWidth(170);
    LCDLabel1 = named(new QLabel(QStringLiteral("0")), "LCDLabel1");
    LCDLabel1->setAlignment(Qt::AlignCenter);
    LCDLabel1->setMinimumWidth(120);
    LCDLabel1->setStyleSheet(QStringLiteral(
        "QLabel { background: #102010; color: #40ff40; font-family: monospace; "
        "font-size: 20px; font-weight: bold; border: 2px inset #304030; padding: 2px 8px; }"));
    LCDLabel1->hide();
    portRow->addWidget(portLabel);
    portRow->addWidget(SioPortComboBox3);
    portRow->addStretch(1);
    portRow->addWidget(LCDLabel1);
    column->addLayout(portRow);

    GroupBox_Program = named(new QGroupBox(Panel_Default), "GroupBox_Program");
    auto* programGrid = new QGridLayout(GroupBox_Program);
    SpeedButton3 = named(new QPushButton(QStringLiteral("Program")), "SpeedButton3");
    SpeedButton3->setToolTip(QStringLiteral("press to start the execution"));
    SpeedButton3->setEnabled(false);
    SpeedButton3->setMinimumSize(170, 56);
    QFont huge = big;
    huge.setBold(true);
    huge.setPointSizeF(big.pointSizeF() * 1.3);
    SpeedButton3->setFont(huge);
    JvSpecialProgress1 = named(new QProgressBar, "JvSpecialProgress1");
    JvSpecialProgress1->setToolTip(QStringLiteral("Currently processed action"));
    JvSpecialProgress1->setRange(0, 100);
    JvSpecialProgress1->setValue(0);
    lblCurrentAction = named(new QLabel(QStringLiteral("Current Action:")), "lblCurrentAction");
    lblCurrentAction->setTextFormat(Qt::PlainText);
    programGrid->addWidget(SpeedButton3, 0, 0, 2, 1);
    programGrid->addWidget(JvSpecialProgress1, 0, 1);
    programGrid->addWidget(lblCurrentAction, 1, 1);
    programGrid->setColumnStretch(1, 1);
    column->addWidget(GroupBox_Program);

    GroupBox_CheckSum =
        named(new QGroupBox(QStringLiteral("CheckSum"), Panel_Default), "GroupBox_CheckSum");
    GroupBox_CheckSum->setToolTip(kCheckSumHint);
    auto* sums = new QVBoxLayout(GroupBox_CheckSum);
    lblExpectedCheckSum = named(new QLabel(QStringLiteral("Expected:")), "lblExpectedCheckSum");
    lblRealCheckSum =
        named(new QLabel(QStringLiteral("Device Reported: Calculated:")), "lblRealCheckSum");
    for (QLabel* l : {lblExpectedCheckSum, lblRealCheckSum}) {
        l->setTextFormat(Qt::PlainText);
        l->setFont(big);
        sums->addWidget(l);
    }
    column->addWidget(GroupBox_CheckSum);

    // The last run's verdict, large, until the next run starts.
    lblVerdict = named(new QLabel, "lblVerdict");
    lblVerdict->setTextFormat(Qt::PlainText);
    lblVerdict->setAlignment(Qt::AlignCenter);
    lblVerdict->setWordWrap(true);
    QFont verdict = huge;
    verdict.setPointSizeF(huge.pointSizeF() * 1.4);
    lblVerdict->setFont(verdict);
    lblVerdict->setMinimumHeight(72);
    lblVerdict->hide();
    column->addWidget(lblVerdict);
    column->addStretch(1);

    Memo4Help = named(new QPlainTextEdit(Panel_Default), "Memo4Help");
    Memo4Help->hide();

    JvBehaviorLabel = named(new BlinkingLabel(Panel_Default), "JvBehaviorLabel");
    JvBehaviorLabel->setText(
        QStringLiteral("-----The program will stall for duration of your commands-----"));
    JvBehaviorLabel->setAlignment(Qt::AlignCenter);
    JvBehaviorLabel->setStyleSheet(QString());
    QFont warn = font();
    warn.setBold(true);
    JvBehaviorLabel->setFont(warn);
    JvBehaviorLabel->hide();
    column->addWidget(JvBehaviorLabel);
}

void TfrmMain::buildEngineeringView() {
    Panel2 = named(new QFrame, "Panel2");
    auto* layout = new QVBoxLayout(Panel2);
    layout->setContentsMargins(2, 2, 2, 2);
    pcMain_PageControl = named(new QTabWidget(Panel2), "pcMain_PageControl");
    layout->addWidget(pcMain_PageControl);

    struct Sheet {
        QWidget** member;
        const char* name;
        const char* caption;
    };
    const Sheet sheets[] = {
        {&TabSheet1, "TabSheet1", "CommPort"},      {&TabSheet6, "TabSheet6", "Project"},
        {&TabSheet7, "TabSheet7", "Calculations"},  {&TabSheet8, "TabSheet8", "Logging"},
        {&TabSheet5, "TabSheet5", "HEXeditor"},     {&TabSheet3, "TabSheet3", "Communication"},
        {&TabSheet2, "TabSheet2", "HEX Command CS"}};
    for (const Sheet& s : sheets) {
        *s.member = named(new QWidget, s.name);
        pcMain_PageControl->addTab(*s.member, QString::fromLatin1(s.caption));
    }
    buildProjectPage();
    buildCommPortPage();
    buildLoggingPage();
    communication = new CommunicationPage(TabSheet3, Panel2);
    hexRecord = new HexRecordPage(TabSheet2);
    calculations = new CalculationsPage(TabSheet7);
    HexEditorLinks hexLinks;
    hexLinks.dialogParent = this;
    // The dialog memory and the status bar come later in the build; they are looked up on use.
    hexLinks.openDialogFileName = [this]() -> QString& { return openDialogMemory_->FileName; };
    hexLinks.openDialogFilterIndex = [this]() -> int& { return openDialogMemory_->FilterIndex; };
    hexLinks.showStatus = [this](const QString& text) { SBar->setPanelText(0, text); };
    hexEditor = new HexEditorPage(TabSheet5, std::move(hexLinks));
    setActiveTab(tabIndexOf(QStringLiteral("Project")));

    connectGuarded(pcMain_PageControl, &QTabWidget::currentChanged, this,
                   "pcMain_PageControlChange", [this](int) { pcMain_PageControlChange(); });
}

void TfrmMain::buildProjectPage() {
    auto* page = new QVBoxLayout(TabSheet6);
    page->setContentsMargins(4, 4, 4, 4);

    Panel_CommPort = named(new QFrame(TabSheet6), "Panel_CommPort");
    Panel_CommPort->setFrameShape(QFrame::StyledPanel);
    Panel_CommPort->setMinimumHeight(34);
    CommPortStripLayout = new QHBoxLayout(Panel_CommPort);
    CommPortStripLayout->setContentsMargins(4, 2, 4, 2);
    auto* stripLabel = new QLabel(QStringLiteral("CommPort:"), Panel_CommPort);
    SioPortComboBox2 = named(new serial::TSioPortComboBox(Panel_CommPort), "SioPortComboBox2");
    SioPortComboBox2->setToolTip(QStringLiteral("Please, select a CommPort"));
    SioPortComboBox2->setMinimumWidth(120);
    SpeedButtonCommPortOpenClose2 = named(new QPushButton(QStringLiteral("Opened"), Panel_CommPort),
                                          "SpeedButtonCommPortOpenClose2");
    SpeedButtonCommPortOpenClose2->setCheckable(true);
    SpeedButtonCommPortOpenClose2->setEnabled(false);
    SpeedButtonCommPortOpenClose2->hide();
    JvSwitch_CommPort = named(new ToggleSwitch(Panel_CommPort), "JvSwitch_CommPort");
    JvSwitch_CommPort->setFixedSize(JvSwitch_CommPort->sizeHint());
    JvSwitch_CommPort->setToolTip(QStringLiteral("by pressing to can Close/Open your CommPort"));
    JvSwitch_CommPort->hide();
    JvSwitch_CommPort_WAS = named(new ToggleSwitch(Panel_CommPort), "JvSwitch_CommPort_WAS");
    JvSwitch_CommPort_WAS->hide();
    ButtonConfig2 =
        named(new QPushButton(QStringLiteral("Config selected ComPort"), Panel_CommPort),
              "ButtonConfig2");
    ButtonConfig2->setToolTip(QStringLiteral("Confige your CommPort Settings"));
    ButtonConfig2->setEnabled(false);
    CommPortStripLayout->addWidget(stripLabel);
    CommPortStripLayout->addWidget(SioPortComboBox2);
    CommPortStripLayout->addWidget(JvSwitch_CommPort);
    CommPortStripLayout->addWidget(SpeedButtonCommPortOpenClose2);
    CommPortStripLayout->addWidget(ButtonConfig2);
    CommPortStripLayout->addStretch(1);
    lblDelayOnSent = new QLabel(QStringLiteral("Delay on Sent:"), Panel_CommPort);
    CommPortStripLayout->addWidget(lblDelayOnSent);
    SpinEdit_DelayOnSent = named(new QSpinBox(Panel_CommPort), "SpinEdit_DelayOnSent");
    SpinEdit_DelayOnSent->setRange(0, 100000);
    SpinEdit_DelayOnSent->setValue(10);
    SpinEdit_DelayOnSent->setSuffix(QStringLiteral(" ms"));
    SpinEdit_DelayOnSent->setToolTip(QStringLiteral(
        "Delay on Sent in miliseconds:\r\n\r\nmakes a delay after sending each line of a file or "
        "after each single-line command"));
    CommPortStripLayout->addWidget(SpinEdit_DelayOnSent);
    page->addWidget(Panel_CommPort);

    StringGrid1 = named(new QTableWidget(23, kCommandColumnCount, TabSheet6), "StringGrid1");
    StringGrid1->verticalHeader()->hide();  // no fixed column
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(35);
    StringGrid1->verticalHeader()->setDefaultSectionSize(22);
    StringGrid1->setStyleSheet(QStringLiteral("QTableWidget { color: navy; }"));
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    table_ = std::make_unique<CommandTable>(StringGrid1);
    page->addWidget(StringGrid1, 1);

    Panel_ProjectButtons = named(new QFrame(TabSheet6), "Panel_ProjectButtons");
    ProjectButtonsLayout = new QHBoxLayout(Panel_ProjectButtons);
    ProjectButtonsLayout->setContentsMargins(0, 2, 0, 0);
    SpeedButton_Resize = named(new QToolButton(Panel_ProjectButtons), "SpeedButton_Resize");
    SpeedButton_Resize->setText(QStringLiteral("Auto Resize Columns"));
    SpeedButton_Resize->setToolTip(
        QStringLiteral("makes beatiful columns size to maximize your pleasure"));
    SpeedButton_Resize->setCheckable(true);
    btnGo = named(new QPushButton(QStringLiteral("Go- execute all commands"), Panel_ProjectButtons),
                  "btnGo");
    btnGo->setToolTip(QStringLiteral("press to start the execution"));
    btnAbort = named(new QPushButton(QStringLiteral("Cancel"), Panel_ProjectButtons), "btnAbort");
    btnAbort->setToolTip(QStringLiteral("press to interrupt the process"));
    btnAbort->hide();
    SpeedButtonLoad = named(new QPushButton(QStringLiteral("Load Project"), Panel_ProjectButtons),
                            "SpeedButtonLoad");
    SpeedButtonLoad->setToolTip(QStringLiteral("opens previously prepared commands set"));
    SpeedButtonSave = named(new QPushButton(QStringLiteral("Save Project"), Panel_ProjectButtons),
                            "SpeedButtonSave");
    SpeedButtonSave->setToolTip(QStringLiteral("saves your current commands set"));
    chkBox_BypassWrongAnswer =
        named(new QCheckBox(QStringLiteral("Bypass \"Wrong Answer\"")), "chkBox_BypassWrongAnswer");
    SpeedButtonClose =
        named(new QPushButton(QStringLiteral("Close"), Panel_ProjectButtons), "SpeedButtonClose");
    SpeedButtonClose->setToolTip(QStringLiteral("Closes the application"));
    ProjectButtonsLayout->addWidget(btnGo);
    ProjectButtonsLayout->addWidget(btnAbort);
    ProjectButtonsLayout->addWidget(chkBox_BypassWrongAnswer);
    ProjectButtonsLayout->addStretch(1);
    ProjectButtonsLayout->addWidget(SpeedButtonLoad);
    ProjectButtonsLayout->addWidget(SpeedButtonSave);
    ProjectButtonsLayout->addWidget(SpeedButton_Resize);
    ProjectButtonsLayout->addWidget(SpeedButtonClose);
    page->addWidget(Panel_ProjectButtons);

    connectGuarded(SpeedButton_Resize, &QToolButton::clicked, this, "SpeedButton_ResizeClick",
                   [this] { SpeedButton_ResizeClick(); });

    // The table's editors live over the cells they edit.
    cmbxFile = named(new QComboBox(StringGrid1->viewport()), "cmbxFile");
    JvFilenameEdit1 = named(new FilenameEdit(StringGrid1->viewport()), "JvFilenameEdit1");
    PopupMenuOFstrGrid = named(new QMenu(StringGrid1), "PopupMenuOFstrGrid");
    MoveUp1 = namedAction(this, "MoveUp1", QStringLiteral("MoveUp"));
    MoveDown1 = namedAction(this, "MoveDown1", QStringLiteral("MoveDown"));
    Delete1 = namedAction(this, "Delete1", QStringLiteral("Delete"));
    PopupMenuOFstrGrid->addAction(MoveUp1);
    PopupMenuOFstrGrid->addAction(MoveDown1);
    PopupMenuOFstrGrid->addSeparator();
    PopupMenuOFstrGrid->addAction(Delete1);
    TableEditingLinks editing;
    editing.table = table_.get();
    editing.cmbxFile = cmbxFile;
    editing.JvFilenameEdit1 = JvFilenameEdit1;
    editing.PopupMenuOFstrGrid = PopupMenuOFstrGrid;
    editing.SpeedButton_Resize = SpeedButton_Resize;
    editing.hints = hints_;
    editing.window = this;
    tableEditing = new TableEditing(std::move(editing), this);
    connectGuarded(MoveUp1, &QAction::triggered, this, "MoveUp1Click",
                   [this] { tableEditing->MoveUp1Click(); });
    connectGuarded(MoveDown1, &QAction::triggered, this, "MoveDown1Click",
                   [this] { tableEditing->MoveDown1Click(); });
    connectGuarded(Delete1, &QAction::triggered, this, "Delete1Click",
                   [this] { tableEditing->Delete1Click(); });
    connectGuarded(SpeedButtonClose, &QPushButton::clicked, this, "SpeedButtonCloseClick",
                   [this] { SpeedButtonCloseClick(); });
}

void TfrmMain::buildCommPortPage() {
    auto* page = new QVBoxLayout(TabSheet1);
    page->setContentsMargins(4, 4, 4, 4);
    CommPortPageLayout = page;
    auto* portRow = new QHBoxLayout;
    SioPortComboBox1 = named(new serial::TSioPortComboBox(TabSheet1), "SioPortComboBox1");
    SioPortComboBox1->setToolTip(QStringLiteral("Please, select a CommPort"));
    SioPortComboBox1->setMinimumWidth(140);
    ButtonConfig = named(new QPushButton(QStringLiteral("Config"), TabSheet1), "ButtonConfig");
    ButtonConfig->setToolTip(QStringLiteral("Confige your CommPort Settings"));
    ButtonConfig->setEnabled(false);
    SpeedButtonCommPortOpenClose =
        named(new QPushButton(QStringLiteral("Opened"), TabSheet1), "SpeedButtonCommPortOpenClose");
    SpeedButtonCommPortOpenClose->setCheckable(true);
    SpeedButtonCommPortOpenClose->setEnabled(false);
    SpeedButtonCommPortOpenClose->setToolTip(
        QStringLiteral("by pressing to can Close/Open your CommPort"));
    portRow->addWidget(SioPortComboBox1);
    portRow->addWidget(ButtonConfig);
    portRow->addWidget(SpeedButtonCommPortOpenClose);
    auto* leds = named(new QFrame(TabSheet1), "Panel_Leds");
    auto* ledRow = new QHBoxLayout(leds);
    janLedCommError = named(new LedLamp(Qt::red, leds), "janLedCommError");
    janLedCommError->setToolTip(QStringLiteral("Communication Error"));
    janLedRx = named(new LedLamp(Qt::green, leds), "janLedRx");
    janLedRx->setToolTip(QStringLiteral("Receive"));
    janLedTx = named(new LedLamp(Qt::yellow, leds), "janLedTx");
    janLedTx->setToolTip(QStringLiteral("Transmitt"));
    janLedRx2 = named(new LedLamp(Qt::green, leds), "janLedRx2");
    janLedTx2 = named(new LedLamp(Qt::yellow, leds), "janLedTx2");
    janLedRx->hide();
    janLedTx->hide();
    for (LedLamp* led : {janLedCommError, janLedRx, janLedTx, janLedRx2, janLedTx2})
        ledRow->addWidget(led);
    portRow->addWidget(leds);
    portRow->addStretch(1);
    page->addLayout(portRow);
    Memo1 = named(new QPlainTextEdit(TabSheet1), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setToolTip(QStringLiteral("your CommPorts Statuses"));
    page->addWidget(Memo1, 1);
    ActionOpenPort = namedAction(this, "ActionOpenPort", QStringLiteral("Open CommPort"));
    ActionClosePort = namedAction(this, "ActionClosePort", QStringLiteral("Close CommPort"));
    ActionOpenPort->setEnabled(false);
    ActionClosePort->setEnabled(false);
    auto* options =
        named(new QGroupBox(QStringLiteral("Terminal"), TabSheet1), "GroupBox_Terminal");
    auto* column = new QVBoxLayout(options);
    CheckBoxBeepOnSend = named(new QCheckBox(QStringLiteral("Beep On Send")), "CheckBoxBeepOnSend");
    CheckBoxBeepOnSend->setToolTip(QStringLiteral("I want to listen a beep each Sending time"));
    CheckBoxBeepOnReceive =
        named(new QCheckBox(QStringLiteral("Beep On Receive")), "CheckBoxBeepOnReceive");
    CheckBoxBeepOnReceive->setToolTip(
        QStringLiteral("I want to listen a beep each Receiving time"));
    chkRemoveASCII_cntrlCharsRX =
        named(new QCheckBox(QStringLiteral("Remove ASCII control characters from RX")),
              "chkRemoveASCII_cntrlCharsRX");
    chkRemoveASCII_cntrlCharsRX->setToolTip(
        QStringLiteral("Remove ASCII control characters from RX"));
    chkRemoveASCII_cntrlCharsRX->setChecked(true);
    for (QCheckBox* b : {CheckBoxBeepOnSend, CheckBoxBeepOnReceive, chkRemoveASCII_cntrlCharsRX})
        column->addWidget(b);
    page->addWidget(options);

    GroupBox_CommTimeOut =
        named(new QGroupBox(QStringLiteral("Current Line CommTimeOut, sec:"), TabSheet1),
              "GroupBox_CommTimeOut");
    auto* timeoutRow = new QHBoxLayout(GroupBox_CommTimeOut);
    SpinEdit_Timer4CurrLineCommTimeOut =
        named(new QSpinBox(GroupBox_CommTimeOut), "SpinEdit_Timer4CurrLineCommTimeOut");
    SpinEdit_Timer4CurrLineCommTimeOut->setRange(0, 99999);
    SpinEdit_Timer4CurrLineCommTimeOut->setValue(1);
    SpinEdit_Timer4CurrLineCommTimeOut->setToolTip(QStringLiteral(
        "Maximum allowed time-out to wait for ACK or NACK response\r\n  \r\n*( if ACK and NACK are "
        "used )"));
    timeoutRow->addWidget(SpinEdit_Timer4CurrLineCommTimeOut);
    GroupBox_CommTimeOut->hide();
    page->addWidget(GroupBox_CommTimeOut);
}

void TfrmMain::buildRunner() {
    Timer4OFF = new QTimer(this);
    Timer4OFF->setObjectName(QStringLiteral("Timer4OFF"));
    Timer4OFF->setInterval(1000);
    connectGuarded(Timer4OFF, &QTimer::timeout, this, "Timer4OFFTimer",
                   [this] { portControl->Timer4OFFTimer(); });

    RunnerLinks links;
    links.window = this;
    links.table = table_.get();
    links.port = SioComPort1;
    links.transmitter = transmitter;
    links.receiver = receiver;
    links.communication = communication;
    links.hexRecord = hexRecord;
    links.capture = capture;
    links.btnGo = btnGo;
    links.btnAbort = btnAbort;
    links.lblCurrentAction = lblCurrentAction;
    links.lblRealCheckSum = lblRealCheckSum;
    links.lblExpectedCheckSum = lblExpectedCheckSum;
    links.LCDLabel1 = LCDLabel1;
    links.JvSpecialProgress1 = JvSpecialProgress1;
    links.Memo4Help = Memo4Help;
    links.chkBox_BypassWrongAnswer = chkBox_BypassWrongAnswer;
    links.SpinEdit_Timer4CurrLineCommTimeOut = SpinEdit_Timer4CurrLineCommTimeOut;
    links.Timer4OFF = Timer4OFF;
    links.SBar = SBar;
    links.dfsStatusBar1 = dfsStatusBar1;
    links.StatusBarProgressFlag = &StatusBarProgressFlag;
    links.mnuAdvancedMode = mnuAdvancedMode;
    links.RadioGroupTransmit = RadioGroupTransmit;
    links.AutoRunMode = &AutoRunMode;
    links.trafficLogFileName = [this] { return TrafficLogFileName(); };
    links.projectFolder = [this] { return project->ProjectFolder; };
    links.terminating = [this] { return closing_; };
    links.syncPortControls = [this] {
        const bool open = SioComPort1->IsOpen();
        SpeedButtonCommPortOpenClose->setChecked(open);
        SpeedButtonCommPortOpenClose2->setChecked(open);
        communication->ButtonSendOnce->setVisible(open);
    };
    runner = new Runner(std::move(links), this);

    openDialogMemory_ = std::make_unique<FileDialogMemory>();
    saveDialogMemory_ = std::make_unique<FileDialogMemory>();
    ProjectFileParts parts;
    parts.table = table_.get();
    parts.SpinEdit_DelayOnSent = SpinEdit_DelayOnSent;
    parts.SioComPort1 = SioComPort1;
    parts.selectedComNumber = [this] { return int(SioPortComboBox2->SelectedComNumber()); };
    parts.mainWindow = this;
    parts.lblCurrentProject = lblCurrentProject;
    parts.autoRunMode = [this] { return AutoRunMode; };
    parts.commandLineProject = [this] { return CommandLineProject; };
    parts.autoResizeColumns = [this] { SpeedButton_ResizeClick(); };
    parts.OpenDialog1 = openDialogMemory_.get();
    parts.SaveDialog1 = saveDialogMemory_.get();
    project = std::make_unique<ProjectFile>(std::move(parts));
    connectGuarded(SpeedButtonLoad, &QPushButton::clicked, this, "ActionOpenCommandSetExecute",
                   [this] { project->ActionOpenCommandSetExecute(); });
    connectGuarded(SpeedButtonSave, &QPushButton::clicked, this, "ActionSaveCommandSetExecute",
                   [this] { project->ActionSaveCommandSetExecute(); });
}

void TfrmMain::buildLoggingPage() {
    auto* page = new QHBoxLayout(TabSheet8);
    RadioGroupTransmit = named(new RadioGroup(QStringLiteral("Transmit"),
                                              {QStringLiteral("No writting"),
                                               QStringLiteral("Write all Transmitted Data to Log"),
                                               QStringLiteral("Write command/issue to Log"),
                                               QStringLiteral("Write Name of a command to Log")},
                                              TabSheet8),
                               "RadioGroupTransmit");
    RadioGroupReceive = named(new RadioGroup(QStringLiteral("Receive"),
                                             {QStringLiteral("No writting"),
                                              QStringLiteral("Write ALL Received Data to Log")},
                                             TabSheet8),
                              "RadioGroupReceive");
    RadioGroupTransmit->setItemIndex(0);
    RadioGroupReceive->setItemIndex(0);
    page->addWidget(RadioGroupTransmit, 0, Qt::AlignTop);
    page->addWidget(RadioGroupReceive, 0, Qt::AlignTop);
    page->addStretch(1);
}

QString TfrmMain::TrafficLogFileName() const {
    return TrafficLogFileNameFor(platform::applicationTitle());
}

void TfrmMain::buildTerminal() {
    SioComPort1 = new serial::TSioComPort(QStringLiteral("SioComPort1"), this);
    SioComPort1->setObjectName(QStringLiteral("SioComPort1"));
    // The window's port: large queues, 38400 baud, two stop bits.
    SioComPort1->SetInBufSize(1966080);
    SioComPort1->SetOutBufSize(1966080);
    SioComPort1->SetBaudRate(serial::br38400);
    SioComPort1->SetStopbits(serial::sbTwo);
    SioComPort1->SetWriteThreadPriority(serial::tpNormal);

    capture = new CaptureSwitch(communication->chkSaveRx2File, SioComPort1, this);

    TransmitLinks tx;
    tx.port = SioComPort1;
    tx.CheckBoxBeepOnSend = CheckBoxBeepOnSend;
    tx.SpinEdit_DelayOnSent = SpinEdit_DelayOnSent;
    tx.RadioGroupTransmit = RadioGroupTransmit;
    tx.trafficLogFileName = [this] { return TrafficLogFileName(); };
    tx.showSentCount = [this](const QString& t) { SBar->setPanelText(2, t); };
    tx.showListName = [this](const QString& t) { SBar->setPanelText(7, t); };
    tx.portNotOpen = [this] { runner->portNotOpen(); };
    tx.abort = [this] { runner->BitBtnAbortClick(); };
    transmitter = new Transmitter(*communication, std::move(tx), this);

    ReceiveLinks rx;
    rx.port = SioComPort1;
    rx.chkRemoveASCII_cntrlCharsRX = chkRemoveASCII_cntrlCharsRX;
    rx.CheckBoxBeepOnReceive = CheckBoxBeepOnReceive;
    rx.RadioGroupReceive = RadioGroupReceive;
    rx.rxLogFileName = [this] { return capture->RxLogFileName; };
    rx.trafficLogFileName = [this] { return TrafficLogFileName(); };
    rx.showReceivedCount = [this](const QString& t) { SBar->setPanelText(5, t); };
    receiver = new Receiver(*communication, std::move(rx), this);
    SioComPort1->OnDataRecived = [this](serial::TSioComPort*, std::uint32_t count) {
        receiver->SioComPort1DataRecived(count);
    };

    // Bringing the terminal to the front shows the newest received line.
    pageChangeListeners.push_back([this](const QString& caption) {
        if (caption != QLatin1String("Communication")) return;
        ByteLinesView* view = communication->SynEditReceiving;
        view->setTopLine(view->lineCount() - 1);
        view->setCaretLine(view->lineCount() - 1);
    });
}

void TfrmMain::buildStatusBars() {
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    SBar = new StatusPanels(
        {{QStringLiteral("Idle..."), 150, Qt::AlignLeft | Qt::AlignVCenter, true,
          QStringLiteral("Status")},
         {QStringLiteral("Transmitted:"), 75, right, false,
          QStringLiteral("Transmitted Data, bytes")},
         {QStringLiteral("?"), 11, Qt::AlignLeft | Qt::AlignVCenter, true,
          QStringLiteral("Sent Data, bytes")},
         {QString(), 10, Qt::AlignLeft, false, QString()},
         {QStringLiteral("Received:"), 75, right, false, QStringLiteral("Received Data, bytes")},
         {QStringLiteral("?"), 11, Qt::AlignLeft | Qt::AlignVCenter, true,
          QStringLiteral("Received Data, bytes")},
         {QString(), 5, Qt::AlignLeft, false, QString()},
         {QStringLiteral("0%"), 50, Qt::AlignCenter, true, QString(), true}},
        this);
    SBar->setObjectName(QStringLiteral("SBar"));
    setStatusBar(SBar);

    // Never shown: it only holds the port texts that the status refresh writes.
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    dfsStatusBar1 = new StatusPanels(
        {{QStringLiteral("Idle..."), 0, left, true, QString()},
         {QStringLiteral("Transmit:"), 0, left, true, QString()},
         {QStringLiteral("Receive:"), 0, left, true, QString()},
         {QStringLiteral("Mode: Default, CommPort Settings"), 0, left, true, QString()}},
        this);
    dfsStatusBar1->setObjectName(QStringLiteral("dfsStatusBar1"));
    dfsStatusBar1->hide();
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TfrmMain::FormCreate() {
    PumpEvents();
    SBar->setPanelText(7, QStringLiteral("Current Commands File: \"blank\""));
    table_->writeHeaderRow();
    // Until widths are stored, every column starts wide enough for its header.
    SetGridTag(StringGrid1, kGridTagRestoringWidths);
    const QFontMetrics headerMetrics(StringGrid1->horizontalHeader()->font());
    for (int c = 0; c < kCommandColumnCount; ++c)
        StringGrid1->setColumnWidth(
            c, qMax(40, headerMetrics.horizontalAdvance(table_->cell(c, 0)) + 24));
    settings->readColumnWidths();
    SpeedButton_ResizeClick();
    mnuShowHint->setChecked(true);
    hints_->setShowHint(true);
    mnuDefaultClick();
    countInstance(+1);

    const CommandLine line = parseCommandLine(arguments_);
    CommandLinePort = line.port;
    CommandLineProject = line.project;
    if (line.autoRun()) {
        AutoRunMode = true;
        PumpOnce();
    } else {
        AutoRunMode = false;
        setWindowState(Qt::WindowNoState);
        PumpOnce();
    }
    SelectCommPortQuantity1Click();
}

FileDialogMemory& TfrmMain::OpenDialog1() {
    return *openDialogMemory_;
}

FileDialogMemory& TfrmMain::SaveDialog1() {
    return *saveDialogMemory_;
}

void TfrmMain::FormActivate() {
    hints_->setShowHint(mnuShowHint->isChecked());
    SelectCommPortQuantity1Click();
}

void TfrmMain::FormPaint() {
    if (firstPaintDone_) return;
    firstPaintDone_ = true;
    SelectCommPortQuantity1Click();
}

void TfrmMain::countInstance(int delta) {
    bool ok = false;
    int count = platform::instanceStore().read(QStringLiteral("0")).trimmed().toInt(&ok);
    if (!ok) count = 0;  // a value that is not a number counts as none
    InstanceNumber = QString::number(count + delta);
    platform::instanceStore().write(InstanceNumber);
}

void TfrmMain::FormClose() {
    PumpOnce();
    countInstance(-1);
    shrinkAway();
}

void TfrmMain::shrinkAway() {
    // Narrow the window towards the top left, then flatten it towards the right.
    setMinimumSize(1, 1);
    const int n = centralWidget()->width() / 30;
    for (int i = 0; i <= n; ++i) {
        platform::Sleep(2);
        resize(qMax(1, width() - 15), height());
        move(x() - 7, y() - 7);
    }
    setWindowTitle(QString());
    const int m = centralWidget()->height() / 30;
    for (int i = 0; i <= m; ++i) {
        resize(width(), qMax(1, height() - 30));
        platform::Sleep(2);
        move(x() + 14, y() - 3);
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Closing is never refused.
    if (!closing_) {
        closing_ = true;
        guarded("FormClose", [this] { FormClose(); });
    }
    event->accept();
}

void TfrmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        guarded("FormActivate", [this] { FormActivate(); });
    QMainWindow::changeEvent(event);
}

void TfrmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    // The handler repaints the pickers; that may not happen inside this paint, so it runs
    // right after it.
    if (!firstPaintDone_)
        QTimer::singleShot(0, this, [this] { guarded("FormPaint", [this] { FormPaint(); }); });
}

// ---------------------------------------------------------------------------------------------
// Modes and pages

int TfrmMain::tabIndexOf(const QString& caption) const {
    for (int i = 0; i < pcMain_PageControl->count(); ++i)
        if (pcMain_PageControl->tabText(i) == caption) return i;
    return -1;
}

QString TfrmMain::activeTabCaption() const {
    return pcMain_PageControl->tabText(pcMain_PageControl->currentIndex());
}

void TfrmMain::setActiveTab(int index) {
    if (index < 0) return;
    const QSignalBlocker quiet(pcMain_PageControl);
    pcMain_PageControl->setCurrentIndex(index);
}

void TfrmMain::mnuDefaultClick() {
    Panel2->hide();
    SBar->hide();
    dfsStatusBar1->hide();
    Panel_Default->show();
    mnuDefault->setChecked(true);
    update();
}

void TfrmMain::mnuSimplifiedClick() {
    Panel_Default->hide();
    {
        // Hiding the front tab makes the tab control pick another one; that is not a page change
        // made by the user.
        const QSignalBlocker quiet(pcMain_PageControl);
        int project = -1;
        for (int i = 0; i < pcMain_PageControl->count(); ++i) {
            const QString caption = pcMain_PageControl->tabText(i);
            pcMain_PageControl->setTabVisible(i, false);
            if (caption == QLatin1String("Communication"))
                pcMain_PageControl->setTabVisible(i, true);
            if (caption == QLatin1String("Project")) {
                pcMain_PageControl->setTabVisible(i, true);
                project = i;
            }
        }
        if (project >= 0) pcMain_PageControl->setCurrentIndex(project);
    }
    Panel2->show();
    SBar->show();
    mnuSimplified->setChecked(true);
    lblDelayOnSent->hide();
    SpinEdit_DelayOnSent->hide();
    SpeedButtonSave->hide();
    update();
}

void TfrmMain::mnuAdvancedModeClick() {
    Panel_Default->hide();
    {
        const QSignalBlocker quiet(pcMain_PageControl);
        for (int i = 0; i < pcMain_PageControl->count(); ++i)
            pcMain_PageControl->setTabVisible(i, true);
    }
    Panel2->show();
    SBar->show();
    mnuAdvancedMode->setChecked(true);
    lblDelayOnSent->show();
    SpinEdit_DelayOnSent->show();
    SpeedButtonSave->show();
    update();
    PumpOnce();
}

void TfrmMain::pcMain_PageControlChange() {
    dfsStatusBar1->hide();
    SBar->hide();
    StatusBarProgressFlag = 0;
    const QString caption = activeTabCaption();
    for (auto& listener : pageChangeListeners) listener(caption);
    if (caption == QLatin1String("Communication") || caption == QLatin1String("Project")) {
        SBar->show();
        StatusBarProgressFlag = 1;
    }
}

void TfrmMain::mnuShowHintClick() {
    // The action has already toggled its own check mark when this runs.
    hints_->setShowHint(mnuShowHint->isChecked());
}

void TfrmMain::MIExitClick() {
    close();
}

void TfrmMain::SpeedButtonCloseClick() {
    MIExitClick();
}

void TfrmMain::SpeedButton_ResizeClick() {
    tableEditing->SpeedButton_ResizeClick();
}

void TfrmMain::SelectCommPortQuantity1Click() {
    serial::SelectCommPortQuantity({SioPortComboBox1, SioPortComboBox2, SioPortComboBox3},
                                   useupto255CommPorts1->isChecked(), this);
}

void TfrmMain::useupto24CommPorts1Click() {
    useupto24CommPorts1->setChecked(true);
    useupto255CommPorts1->setChecked(false);
    SelectCommPortQuantity1Click();
}

void TfrmMain::useupto255CommPorts1Click() {
    useupto255CommPorts1->setChecked(true);
    useupto24CommPorts1->setChecked(false);
    SelectCommPortQuantity1Click();
}

void TfrmMain::buildPortControl() {
    for (serial::TSioPortComboBox* picker :
         {SioPortComboBox1, SioPortComboBox2, SioPortComboBox3}) {
        picker->SetOptions(serial::pcCheckExist | serial::pcHighlightOpen);
        picker->SetMaxComPorts(255);
        picker->SetComPort(SioComPort1);
    }
    SioPortComboBox2->SetColor(Qt::yellow);
    XComm1 = std::make_unique<serial::TXComm>();
    portControl = new PortControl(*this);
    connectGuarded(useupto24CommPorts1, &QAction::triggered, this, "useupto24CommPorts1Click",
                   [this] { useupto24CommPorts1Click(); });
    connectGuarded(useupto255CommPorts1, &QAction::triggered, this, "useupto255CommPorts1Click",
                   [this] { useupto255CommPorts1Click(); });
    pageChangeListeners.push_back([this](const QString& caption) {
        if (caption == QLatin1String("CommPort")) portControl->ActionCheckCommPortsExecute();
    });

    ProductionLinks links;
    links.window = this;
    links.table = table_.get();
    links.project = project.get();
    links.runner = runner;
    links.lblExpectedCheckSum = lblExpectedCheckSum;
    links.lblRealCheckSum = lblRealCheckSum;
    links.Memo4Help = Memo4Help;
    links.JvBehaviorLabel = JvBehaviorLabel;
    links.AutoRunMode = &AutoRunMode;
    links.CommandLinePort = &CommandLinePort;
    links.selectPort = [this](int number) {
        SioPortComboBox3->SetSelectedComNumber(std::uint16_t(number));
        SioComPort1->SetComNumber(std::uint16_t(number));
    };
    links.mirrorPicker = [this] {
        SioPortComboBox2->setCurrentIndex(SioPortComboBox3->currentIndex());
    };
    links.openPort = [this] { portControl->ActionOpenPortExecute(); };
    links.closePort = [this] { portControl->ActionClosePortExecute(); };
    links.switchOn = [this] { portControl->JvSwitch_CommPort_WASOn(); };
    links.switchOff = [this] { portControl->JvSwitch_CommPort_WASOff(); };
    links.lblVerdict = lblVerdict;
    links.SpeedButton3 = SpeedButton3;
    // The port "Program" is asked for: the command line's, else the operator's pick.
    links.requestedPort = [this] {
        if (AutoRunMode && !CommandLinePort.isEmpty()) return CommandLinePort.toInt();
        return int(SioPortComboBox3->SelectedComNumber());
    };
    links.portIsOpen = [this] { return SioComPort1->IsOpen(); };
    links.lastOpenError = [this] { return portControl->LastOpenError; };
    production = new ProductionFlow(std::move(links), this);
    connectGuarded(SpeedButton1, &QPushButton::clicked, this, "SpeedButton1Click",
                   [this] { production->SpeedButton1Click(); });
    connectGuarded(SpeedButton3, &QPushButton::clicked, this, "SpeedButton3Click",
                   [this] { production->SpeedButton3Click(); });
}

}  // namespace keldrin
