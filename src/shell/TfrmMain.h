#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace keldrin {

class BlinkingLabel;
class CalculationsPage;
class HexEditorPage;
class CaptureSwitch;
class CommandTable;
class CommunicationPage;
class HexRecordPage;
class RadioGroup;
class ProjectFile;
class Receiver;
class Runner;
class Transmitter;
struct FileDialogMemory;
class LedLamp;
class PortControl;
class ProductionFlow;
class ToggleSwitch;
namespace serial {
class TSioComPort;
class TSioPortComboBox;
class TXComm;
}  // namespace serial
class ErrorLog;
class FilenameEdit;
class FormSettings;
class HelpMenu;
class HintController;
class TableEditing;
class StatusPanels;
class TfrmAbout;

// The one main window. It owns every control under its given name (member and objectName() are
// the same), the command table and the run state; the behaviour of each subsystem lives in the
// subsystem's own folder and is given the controls it works on.
class TfrmMain : public QMainWindow {
    Q_OBJECT
  public:
    // `arguments` as QCoreApplication::arguments() gives them.
    explicit TfrmMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // --- client area -------------------------------------------------------------------------
    QFrame* Panel_Default = nullptr;  // the operator's panel
    QFrame* Panel2 = nullptr;         // the engineering view
    QTabWidget* pcMain_PageControl = nullptr;
    QWidget* TabSheet1 = nullptr;  // "CommPort"
    QWidget* TabSheet6 = nullptr;  // "Project"
    QWidget* TabSheet7 = nullptr;  // "Calculations"
    QWidget* TabSheet8 = nullptr;  // "Logging"
    QWidget* TabSheet5 = nullptr;  // "HEXeditor"
    QWidget* TabSheet3 = nullptr;  // "Communication"
    QWidget* TabSheet2 = nullptr;  // "HEX Command CS"

    // --- the operator's panel ------------------------------------------------------------------
    QGroupBox* GroupBox_Project = nullptr;
    QPushButton* SpeedButton1 = nullptr;  // "Load Project=>"
    QLabel* lblCurrentProject = nullptr;
    serial::TSioPortComboBox* SioPortComboBox3 = nullptr;
    QLabel* LCDLabel1 = nullptr;
    QGroupBox* GroupBox_Program = nullptr;
    QPushButton* SpeedButton3 = nullptr;  // "Program"
    QProgressBar* JvSpecialProgress1 = nullptr;
    QLabel* lblCurrentAction = nullptr;
    QGroupBox* GroupBox_CheckSum = nullptr;
    QLabel* lblExpectedCheckSum = nullptr;
    QLabel* lblRealCheckSum = nullptr;
    QLabel* lblVerdict = nullptr;
    BlinkingLabel* JvBehaviorLabel = nullptr;
    QPlainTextEdit* Memo4Help = nullptr;

    // --- the "Project" page ----------------------------------------------------------------------
    QFrame* Panel_CommPort = nullptr;  // port strip above the table
    QHBoxLayout* CommPortStripLayout = nullptr;
    serial::TSioPortComboBox* SioPortComboBox2 = nullptr;
    QPushButton* SpeedButtonCommPortOpenClose2 = nullptr;  // hidden twin
    ToggleSwitch* JvSwitch_CommPort = nullptr;
    ToggleSwitch* JvSwitch_CommPort_WAS = nullptr;  // hidden
    QPushButton* ButtonConfig2 = nullptr;           // "Config selected ComPort"
    QLabel* lblDelayOnSent = nullptr;               // its caption, shown and hidden with it
    QSpinBox* SpinEdit_DelayOnSent = nullptr;       // pause after each sent line, ms
    QTableWidget* StringGrid1 = nullptr;
    QComboBox* cmbxFile = nullptr;            // the Type list over a Type cell
    FilenameEdit* JvFilenameEdit1 = nullptr;  // the file picker over a file row's Issue cell
    QMenu* PopupMenuOFstrGrid = nullptr;      // the grid's popup menu
    QAction* MoveUp1 = nullptr;
    QAction* MoveDown1 = nullptr;
    QAction* Delete1 = nullptr;
    TableEditing* tableEditing = nullptr;    // how the table is edited in place
    QFrame* Panel_ProjectButtons = nullptr;  // buttons below the table
    QHBoxLayout* ProjectButtonsLayout = nullptr;
    QPushButton* btnGo = nullptr;  // "Go- execute all commands"
    QPushButton* btnAbort = nullptr;
    QPushButton* SpeedButtonLoad = nullptr;     // "Load Project"
    QPushButton* SpeedButtonSave = nullptr;     // "Save Project"
    QToolButton* SpeedButton_Resize = nullptr;  // "Auto Resize Columns"
    QPushButton* SpeedButtonClose = nullptr;

    // --- the "CommPort" page
    // ------------------------------------------------------------------------
    QVBoxLayout* CommPortPageLayout = nullptr;
    serial::TSioPortComboBox* SioPortComboBox1 = nullptr;
    QPushButton* ButtonConfig = nullptr;                  // "Config"
    QPushButton* SpeedButtonCommPortOpenClose = nullptr;  // "Opened"
    QPlainTextEdit* Memo1 = nullptr;                      // the port status report
    LedLamp* janLedCommError = nullptr;
    LedLamp* janLedRx = nullptr;
    LedLamp* janLedTx = nullptr;
    LedLamp* janLedRx2 = nullptr;
    LedLamp* janLedTx2 = nullptr;
    QAction* ActionOpenPort = nullptr;   // "Open CommPort"
    QAction* ActionClosePort = nullptr;  // "Close CommPort"
    // terminal options -------------------------------------------------
    QCheckBox* CheckBoxBeepOnSend = nullptr;
    QCheckBox* CheckBoxBeepOnReceive = nullptr;
    QCheckBox* chkRemoveASCII_cntrlCharsRX = nullptr;
    QCheckBox* chkBox_BypassWrongAnswer = nullptr;
    QGroupBox* GroupBox_CommTimeOut = nullptr;  // hidden
    QSpinBox* SpinEdit_Timer4CurrLineCommTimeOut = nullptr;

    // --- the "Logging" page
    // -----------------------------------------------------------------------
    RadioGroup* RadioGroupTransmit = nullptr;
    RadioGroup* RadioGroupReceive = nullptr;

    // --- the pages built by their subsystems -----------------------------------------------------
    CommunicationPage* communication = nullptr;  // "Communication"
    HexRecordPage* hexRecord = nullptr;          // "HEX Command CS"
    CalculationsPage* calculations = nullptr;    // "Calculations"
    HexEditorPage* hexEditor = nullptr;          // "HEXeditor"

    // --- the serial port and the terminal
    // ----------------------------------------------------------
    serial::TSioComPort* SioComPort1 = nullptr;
    Transmitter* transmitter = nullptr;
    Runner* runner = nullptr;
    PortControl* portControl = nullptr;
    ProductionFlow* production = nullptr;
    std::unique_ptr<serial::TXComm> XComm1;  // the port status report's test device
    std::unique_ptr<ProjectFile> project;
    QTimer* Timer4OFF = nullptr;  // the status refresh
    Receiver* receiver = nullptr;
    CaptureSwitch* capture = nullptr;

    // The traffic log beside the program, named after the application title.
    QString TrafficLogFileName() const;

    // --- bars and menus -----------------------------------------------------------------------
    StatusPanels* SBar = nullptr;
    StatusPanels* dfsStatusBar1 = nullptr;
    QAction* OpenApplicationFolder1 = nullptr;
    QAction* MIExit = nullptr;
    QAction* mnuDefault = nullptr;
    QAction* mnuSimplified = nullptr;
    QAction* mnuAdvancedMode = nullptr;
    QAction* useupto255CommPorts1 = nullptr;
    QAction* useupto24CommPorts1 = nullptr;
    QAction* About1 = nullptr;
    QAction* mnuShowHint = nullptr;
    QAction* Versions1 = nullptr;
    QAction* MISettings = nullptr;  // Ctrl+S, in a menu that is never shown

    TfrmAbout* frmAbout = nullptr;
    FormSettings* settings = nullptr;  // "Keldrin.xml": column widths and the form group
    HelpMenu* helpMenu = nullptr;  // About, Versions, Open Application Folder

    // --- state ---------------------------------------------------------------------------------
    int StatusBarProgressFlag = 0;
    bool AutoRunMode = false;
    QString CommandLinePort;
    QString CommandLineProject;
    QString InstanceNumber;

    CommandTable& table() { return *table_; }
    HintController& hints() { return *hints_; }
    // The open and save dialogs' memory of their last choice.
    FileDialogMemory& OpenDialog1();
    FileDialogMemory& SaveDialog1();
    ErrorLog& errorLog() { return *errorLog_; }

    // --- handlers ------------------------------------------------------------------------------
    void FormCreate();
    void FormActivate();
    void FormPaint();
    void FormClose();
    void mnuDefaultClick();
    void mnuSimplifiedClick();
    void mnuAdvancedModeClick();
    void pcMain_PageControlChange();
    void mnuShowHintClick();
    void MIExitClick();
    void SpeedButtonCloseClick();
    void SpeedButton_ResizeClick();
    void SelectCommPortQuantity1Click();
    void useupto24CommPorts1Click();
    void useupto255CommPorts1Click();
    void Timer4OFFTimer();

    // Index of the tab whose caption is `caption`, or -1.
    int tabIndexOf(const QString& caption) const;
    QString activeTabCaption() const;
    // Brings a tab to the front as the program does it (no page-change handler runs).
    void setActiveTab(int index);

    // Work that other parts of the program attach to a page change (the port check on
    // "CommPort", scrolling the receive window on "Communication").
    std::vector<std::function<void(const QString& caption)>> pageChangeListeners;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildMenus();
    void buildOperatorPanel();
    void buildEngineeringView();
    void buildProjectPage();
    void buildStatusBars();
    void buildCommPortPage();
    void buildLoggingPage();
    void buildTerminal();
    void buildRunner();
    void buildPortControl();
    void countInstance(int delta);
    void shrinkAway();

    QStringList arguments_;
    std::unique_ptr<CommandTable> table_;
    std::unique_ptr<ErrorLog> errorLog_;
    HintController* hints_ = nullptr;
    bool firstPaintDone_ = false;  // the once-marker of FormPaint
    bool closing_ = false;
    std::unique_ptr<FileDialogMemory> openDialogMemory_;
    std::unique_ptr<FileDialogMemory> saveDialogMemory_;
};

}  // namespace keldrin
