// Writing a project in the window: the Type list, the file picker, the colours, the hints, the
// popup commands and the column sizing, all driven by mouse and keys on the real widgets.

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "SimClient.h"
#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "shell/Application.h"
#include "shell/TableEditing.h"
#include "shell/TableLook.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "widgets/BalloonHint.h"
#include "widgets/FilenameEdit.h"

using namespace keldrin;
using keldrin::testkit::readAll;

namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kAqua(0x00, 0xFF, 0xFF);
const QColor kRed(0xFF, 0x00, 0x00);

}  // namespace

class TableEditingTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;

    CommandTable& table() { return w->table(); }
    QTableWidget* grid() { return w->StringGrid1; }
    TableEditing& editing() { return *w->tableEditing; }

    QRect cellRect(int column, int row) {
        const QModelIndex index = grid()->model()->index(row - 1, column);
        grid()->scrollTo(index);
        return grid()->visualRect(index);
    }
    void click(int column, int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid()->viewport(), button, {}, cellRect(column, row).center());
    }
    // Keys go where the focus is, as they would from a keyboard.
    void type(const QString& text) {
        for (QChar ch : text) QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    }
    // Types a whole cell through the grid's own editor.
    void typeCell(int column, int row, const QString& text) {
        click(column, row);
        type(text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    // Opens the Type list over the row's Type cell with a click and picks `item` in its popup.
    void pickType(int row, const QString& item) {
        click(colType, row);
        QTRY_VERIFY(w->cmbxFile->isVisible() && w->cmbxFile->hasFocus());
        QTest::keyClick(w->cmbxFile, Qt::Key_F4);  // opens the list
        QAbstractItemView* list = w->cmbxFile->view();
        QTRY_VERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < typeListItems().indexOf(item); ++i) QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(w->cmbxFile->currentText(), item);
        // The offscreen platform leaves the closed list as the active window; a desktop's window
        // manager gives the activation back to the main window.
        w->activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), w->windowHandle());
    }
    // Right-clicks into the grid and chooses a popup item with the mouse. The press and release
    // go to the grid; the context-menu event that the window system makes of them is sent here.
    void popup(QAction* item, int column = colName, int row = 1) {
        const QPoint at = cellRect(column, row).center();
        click(column, row, Qt::RightButton);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, grid()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid()->viewport(), &menu);
        QTRY_VERIFY(w->PopupMenuOFstrGrid->isVisible());
        QTest::mouseClick(w->PopupMenuOFstrGrid, Qt::LeftButton, {},
                          w->PopupMenuOFstrGrid->actionGeometry(item).center());
        QTRY_VERIFY(!w->PopupMenuOFstrGrid->isVisible());
    }
    QStringList rowTexts(int row) {
        QStringList out;
        for (int c = 0; c < kCommandColumnCount; ++c) out << table().cell(c, row);
        return out;
    }
    void fillRow(int row, const QStringList& cells) {
        for (int c = 0; c < cells.size(); ++c) table().setCell(c, row, cells.at(c));
    }
    // The colour the grid shows near the bottom right of a cell, away from its text.
    QColor shownColour(int column, int row) {
        const QRect r = cellRect(column, row);
        grid()->viewport()->repaint();
        const QImage image = grid()->viewport()->grab().toImage();
        return image.pixelColor(r.right() - 2, r.bottom() - 2);
    }
    void writeProject(const QString& file, int rows) {
        QByteArray text;
        for (int r = 1; r < rows; ++r)
            text += "[" + QByteArray::number(r) + "]\r\nName=row " + QByteArray::number(r) +
                    "\r\nType=Command\r\nIssue=X" + QByteArray::number(r) + "!\r\n";
        text +=
            "[ComPort_Settings]\r\nComPort_BaudRate=12\r\nComPort_Databits=4\r\n"
            "ComPort_FlowControl=0\r\nComPort_Parity=0\r\nComPort_Stopbits=0\r\n";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

  private slots:
    void initTestCase() {
        static QTemporaryDir mapDir;
        qputenv("KELDRIN_PORTS", mapDir.filePath("Keldrin.ports").toLocal8Bit());
    }
    void init() {
        testkit::enterSandbox(seams, folder);
        platform::setApplicationTitle(QStringLiteral("Keldrin"));
        w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->show();
        w->mnuAdvancedModeClick();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void cleanup() {
        if (w && w->SioComPort1->IsOpen()) w->SioComPort1->Close();
        w.reset();
        testkit::leaveSandbox(seams, folder);
    }

    void pickingATypeWritesItsExplanation_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("issue");
        QTest::newRow("Command") << "Command" << QString();
        QTest::newRow("File") << "File" << QString();
        QTest::newRow("File_BINary") << "File_BINary" << QString();
        QTest::newRow("Action_CS")
            << "Action_CS"
            << "This command will be calculated and sent after File programming";
        QTest::newRow("IntCommand_UseLog")
            << "IntCommand_UseLog"
            << "This is an internal command of Keldrin: all send and receive data from now will "
               "be stored into \"Keldrin+CommNumber+Date+Time.log\" file and will NOT be shown";
        QTest::newRow("IntCommand_NoLog")
            << "IntCommand_NoLog"
            << "This is an internal command of Keldrin: all send and receive data from now will "
               "NOT be stored into \".log\" file and will be shown";
        QTest::newRow("Sync_1")
            << "Sync_1"
            << "This is an internal command of Keldrin: Sync_1 will not be shown";
        QTest::newRow("Sync_2")
            << "Sync_2"
            << "This is an internal command of Keldrin: Sync_2 will not be shown";
    }
    void pickingATypeWritesItsExplanation() {
        QFETCH(QString, type);
        QFETCH(QString, issue);
        QCOMPARE(w->cmbxFile->count(), 8);
        pickType(3, type);
        QCOMPARE(table().cell(colIssue, 3), issue);  // written at the pick, before leaving
        click(colName, 4);                           // leaving the list writes the type
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, 3), type);
        QCOMPARE(editing().SelectedRow, 4);

        pickType(3, "Command");
        click(colName, 4);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, 3), QStringLiteral("Command"));
        QCOMPARE(table().cell(colIssue, 3), issue);
    }

    void theListOffersItsTypesInOrder() {
        QStringList items;
        for (int i = 0; i < w->cmbxFile->count(); ++i) items << w->cmbxFile->itemText(i);
        QCOMPARE(items, (QStringList{"Command", "File", "Action_CS", "File_BINary",
                                     "IntCommand_UseLog", "IntCommand_NoLog", "Sync_1", "Sync_2"}));
        QVERIFY(!w->cmbxFile->isEditable());
        QVERIFY(w->cmbxFile->isHidden());
    }

    void aTypeLandsInTheRowTheListWasOpenedFor() {
        pickType(5, "Sync_1");
        click(colName, 8);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, 5), QStringLiteral("Sync_1"));
        QCOMPARE(table().cell(colType, 8), QString());
        QCOMPARE(table().cell(colIssue, 8), QString());
        QCOMPARE(grid()->currentRow() + 1, 8);
        QVERIFY(grid()->hasFocus());

        // The same from one Type cell to another: the list opens again for the new row.
        pickType(6, "Sync_2");
        click(colType, 9);
        QTRY_VERIFY(w->cmbxFile->isVisible());
        QCOMPARE(editing().cmbxFileTag, 9);
        QCOMPARE(table().cell(colType, 6), QStringLiteral("Sync_2"));
        QCOMPARE(table().cell(colType, 9), QString());
        QCOMPARE(w->cmbxFile->currentIndex(), -1);
    }

    void aTypeTheListDoesNotOfferSurvivesLooking() {
        fillRow(4, {"bin", "IntCommand_BIN", "x"});
        fillRow(5, {"typo", " Command", "y"});
        for (int row : {4, 5, 6}) {
            const QString before = table().cell(colType, row);
            click(colType, row);
            QTRY_VERIFY(w->cmbxFile->isVisible());
            QCOMPARE(w->cmbxFile->currentIndex(), -1);
            click(colName, 10);
            QTRY_VERIFY(!w->cmbxFile->isVisible());
            QCOMPARE(table().cell(colType, row), before);
        }
        // A type the list offers is shown picked.
        table().setCell(colType, 7, "Sync_2");
        click(colType, 7);
        QTRY_VERIFY(w->cmbxFile->isVisible());
        QCOMPARE(w->cmbxFile->currentText(), QStringLiteral("Sync_2"));
        // Tab leaves the list for the next cell, Backtab comes back and opens it again.
        QTest::keyClick(w->cmbxFile, Qt::Key_Tab);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, 7), QStringLiteral("Sync_2"));
        QCOMPARE(grid()->currentColumn(), int(colIssue));
        QVERIFY(grid()->hasFocus());
        QTest::keyClick(grid(), Qt::Key_Backtab);
        QCOMPARE(grid()->currentColumn(), int(colType));
        QTRY_VERIFY(w->cmbxFile->isVisible());
        // Left for another control, the list opens again on a click into the cell that is
        // still the current one.
        QTest::mouseClick(w->SpinEdit_DelayOnSent, Qt::LeftButton);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(grid()->currentColumn(), int(colType));
        click(colType, 7);
        QTRY_VERIFY(w->cmbxFile->isVisible());
        QCOMPARE(w->cmbxFile->currentText(), QStringLiteral("Sync_2"));
    }

    void thePickerOpensOnFileRowsOnly() {
        fillRow(2, {"fw", "File_BINary", "old.hex"});
        fillRow(3, {"cmd", "Command", "ID!"});
        fillRow(4, {"fw2", "File", ""});
        click(colIssue, 2);
        QTRY_VERIFY(w->JvFilenameEdit1->isVisible());
        QCOMPARE(w->JvFilenameEdit1->FileName(), QStringLiteral("old.hex"));
        QVERIFY(w->JvFilenameEdit1->geometry().intersects(cellRect(colIssue, 2)));
        QVERIFY(w->JvFilenameEdit1->lineEdit()->hasFocus());

        // Browsing fills the editor; the dialog is the one the project files are browsed with.
        const QString firmware = folder->filePath("board.hex");
        seams->dialogs->answers.push_back(firmware);
        QTest::mouseClick(w->JvFilenameEdit1->browseButton(), Qt::LeftButton);
        QCOMPARE(seams->dialogs->requests.size(), size_t(1));
        QCOMPARE(seams->dialogs->requests[0].title, QStringLiteral("Browse for your File"));
        QCOMPARE(
            seams->dialogs->requests[0].filter,
            QStringLiteral("HEX and Bin|*.hex;*.bin;*.HX|TEXT|*.txt|*.cmd|*.cmd|All files|*.*"));
        QCOMPARE(w->JvFilenameEdit1->FileName(), firmware);
        QCOMPARE(w->JvFilenameEdit1->InitialDir, folder->path());
        QVERIFY(w->JvFilenameEdit1->isVisible());

        // Clicking a Command row's Issue closes the picker into its own row and opens nothing.
        click(colIssue, 3);
        QTRY_VERIFY(!w->JvFilenameEdit1->isVisible());
        QCOMPARE(table().cell(colIssue, 2), firmware);
        QCOMPARE(table().cell(colIssue, 3), QStringLiteral("ID!"));
        QVERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(w->JvFilenameEdit1->FileName(), QString());

        // Typing into a file row's picker, then clicking another row, writes the picker's row.
        click(colIssue, 4);
        QTRY_VERIFY(w->JvFilenameEdit1->isVisible());
        type("/tmp/x.hex");
        click(colName, 9);
        QTRY_VERIFY(!w->JvFilenameEdit1->isVisible());
        QCOMPARE(table().cell(colIssue, 4), QStringLiteral("/tmp/x.hex"));
        QCOMPARE(table().cell(colIssue, 9), QString());
        QCOMPARE(table().cell(colName, 9), QString());
    }

    void statusTextsColourAnyDataCell_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("OK in Status") << int(colStatus) << "OK" << kLime;
        QTest::newRow("Sent in Status") << int(colStatus) << "Sent" << kLime;
        QTest::newRow("Doing... in Status") << int(colStatus) << "Doing..." << kAqua;
        QTest::newRow("Communication Error") << int(colStatus) << "Communication Error" << kRed;
        QTest::newRow("Wrong Answer - Error") << int(colStatus) << "Wrong Answer - Error" << kRed;
        QTest::newRow("OK in ACK_string") << int(colAck) << "OK" << kLime;
        QTest::newRow("OK in Type") << int(colType) << "OK" << kLime;
        QTest::newRow("Sent in Real-Time") << int(colRealTime) << "Sent" << kLime;
        QTest::newRow("ok is no status") << int(colAck) << "ok" << QColor(Qt::white);
        QTest::newRow("OK with a blank") << int(colTimeOut) << "OK " << QColor(Qt::white);
        QTest::newRow("RxNAck") << int(colStatus) << "RxNAck"
                                << QApplication::palette().color(QPalette::Base);
        QTest::newRow("Issue is info")
            << int(colIssue) << "ok" << QApplication::palette().color(QPalette::ToolTipBase);
    }
    void statusTextsColourAnyDataCell() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        table().setCell(column, 6, text);
        QCOMPARE(shownColour(column, 6), colour);
    }

    void theFocusedCellIsAquaUnlessItHoldsAStatus() {
        table().setCell(colAck, 3, "OK");
        table().setCell(colTimeOut, 3, "5");
        click(colTimeOut, 3);
        QVERIFY(grid()->hasFocus());
        QCOMPARE(shownColour(colTimeOut, 3), kAqua);
        click(colAck, 3);
        QCOMPARE(shownColour(colAck, 3), kLime);
        QCOMPARE(shownColour(colTimeOut, 3), QColor(Qt::white));
        // A run's status written into a cell shows at once.
        table().setCell(colStatus, 4, "Communication Error");
        QCOMPARE(shownColour(colStatus, 4), kRed);
    }

    void moveUpStopsBelowTheMarkerRow() {
        fillRow(2, {"a", "Command", "A!"});
        fillRow(3, {"b", "Command", "B!"});
        fillRow(4, {"c", "Command", "C!"});
        const QStringList a = rowTexts(2), b = rowTexts(3), c = rowTexts(4);
        click(colName, 2);
        popup(w->MoveUp1);
        QCOMPARE(rowTexts(2), a);
        QCOMPARE(editing().SelectedRow, 2);

        click(colIssue, 4);  // the current cell travels with the row
        popup(w->MoveUp1);
        QCOMPARE(rowTexts(3), c);
        QCOMPARE(rowTexts(4), b);
        QCOMPARE(editing().SelectedRow, 3);
        QCOMPARE(grid()->currentRow() + 1, 3);
        QCOMPARE(grid()->currentColumn(), int(colIssue));
        popup(w->MoveUp1);  // again: the same row goes further up
        QCOMPARE(rowTexts(2), c);
        QCOMPARE(rowTexts(3), a);
        QCOMPARE(grid()->currentRow() + 1, 2);
        // Rows 0 and 1 never change places.
        QCOMPARE(table().cell(colName, 0), QStringLiteral("Name"));
    }

    void moveDownBeforeAnySelectionChangesNothing() {
        fillRow(2, {"a", "Command", "A!"});
        QCOMPARE(editing().SelectedRow, 0);
        QStringList before;
        for (int r = 0; r < table().rowCount(); ++r) before << rowTexts(r);
        popup(w->MoveDown1, colName, 2);  // a right click selects nothing
        QCOMPARE(editing().SelectedRow, 0);
        QStringList after;
        for (int r = 0; r < table().rowCount(); ++r) after << rowTexts(r);
        QCOMPARE(after, before);
        QVERIFY(!w->cmbxFile->isVisible());
    }

    void moveDownWorksOnEveryRowButTheLast() {
        const QString project = folder->filePath("forty.cmd");
        writeProject(project, 41);
        seams->dialogs->answers.push_back(project);
        w->SpeedButtonLoad->click();
        QCOMPARE(table().rowCount(), 41);
        QCOMPARE(table().cell(colName, 30), QStringLiteral("row 30"));

        // Row 30 of a 40-row project moves, twice, with the current cell.
        click(colName, 30);
        popup(w->MoveDown1, colName, 30);
        popup(w->MoveDown1, colName, 31);
        QCOMPARE(table().cell(colName, 32), QStringLiteral("row 30"));
        QCOMPARE(table().cell(colName, 30), QStringLiteral("row 31"));
        QCOMPARE(table().cell(colName, 31), QStringLiteral("row 32"));
        QCOMPARE(editing().SelectedRow, 32);
        QCOMPARE(grid()->currentRow() + 1, 32);

        // The last row stays where it is.
        click(colName, 40);
        const QStringList last = rowTexts(40), above = rowTexts(39);
        popup(w->MoveDown1, colName, 40);
        QCOMPARE(rowTexts(40), last);
        QCOMPARE(rowTexts(39), above);
        QCOMPARE(table().rowCount(), 41);
    }

    void deleteBlanksTheRowButKeepsItsRealTime() {
        fillRow(3, {"a", "Command", "A!", "OK", "ERR", "OK", "2", "7"});
        fillRow(4, {"b", "Command", "B!"});
        const int rows = table().rowCount();
        click(colAck, 3);
        popup(w->Delete1);
        QCOMPARE(rowTexts(3), (QStringList{"", "", "", "", "", "", "", "7"}));
        QCOMPARE(table().cell(colName, 4), QStringLiteral("b"));
        QCOMPARE(table().rowCount(), rows);
    }

    void autoSizingFollowsTheButton() {
        QSignalSpy widths(&editing(), &TableEditing::StringGrid1ColWidthsChanged);
        // A small font, so that some headers are narrower than the least width.
        QFont small = grid()->font();
        small.setPixelSize(7);
        grid()->setFont(small);
        table().setCell(colName, 2, "a much longer name than its header");
        QList<int> before;
        for (int c = 0; c < kCommandColumnCount; ++c) before << grid()->columnWidth(c);
        // Up: closing the Type list leaves every width as it was.
        pickType(2, "Command");
        click(colName, 3);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QList<int> after;
        for (int c = 0; c < kCommandColumnCount; ++c) after << grid()->columnWidth(c);
        QCOMPARE(after, before);
        QCOMPARE(widths.count(), 0);

        // Down: every column fits its widest text plus 8, and none is narrower than 40.
        QTest::mouseClick(w->SpeedButton_Resize, Qt::LeftButton);
        QVERIFY(w->SpeedButton_Resize->isChecked());
        const QFontMetrics metrics(grid()->font());
        QCOMPARE(grid()->columnWidth(colName),
                 metrics.horizontalAdvance("a much longer name than its header") + 8);
        for (int c = 0; c < kCommandColumnCount - 1; ++c)
            QVERIFY2(grid()->columnWidth(c) >= 40, qPrintable(QString::number(c)));
        QVERIFY(metrics.horizontalAdvance("Status") + 8 < 40);
        QCOMPARE(grid()->columnWidth(colStatus), 40);
        QVERIFY(widths.count() > 0);

        // And after a pick through the list.
        pickType(3, "IntCommand_UseLog");
        click(colName, 4);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(grid()->columnWidth(colIssue),
                 metrics.horizontalAdvance(typeExplanation("IntCommand_UseLog")) + 8);
        // The Type column is measured as it is drawn, in bold.
        QFont bold = small;
        bold.setBold(true);
        QCOMPARE(grid()->columnWidth(colType),
                 QFontMetrics(bold).horizontalAdvance("IntCommand_UseLog") + 8);
    }

    void hintsFollowTheCellUnderTheMouse() {
        table().setCell(colType, 3, "File_BINary");
        table().setCell(colAck, 3, "OK");
        QTest::mouseMove(grid()->viewport(), cellRect(colType, 3).center());
        QTRY_COMPARE(editing().HintCell, QPoint(colType, 3));
        const QString binary = QStringLiteral(
            "\"File_BINary\"\r\n\r\nType of the command\r\n"
            "The file's content will be sent in Binary Format.\r\n"
            "\":\" sign will be removed from the string\r\n"
            ">>>!Does not affect any other settings!<<<\r\n\r\n\r\n"
            "the path can be with \"\\\"<= down from the current dir");
        QCOMPARE(editing().StringGrid1Hint(), binary);
        QCOMPARE(grid()->viewport()->toolTip(), binary);

        // The hint appears as a balloon while hints are on, and not while they are off.
        auto askTip = [&](QWidget* where, QPoint pos) {
            QHelpEvent help(QEvent::ToolTip, pos, where->mapToGlobal(pos));
            QApplication::sendEvent(where, &help);
        };
        askTip(grid()->viewport(), cellRect(colType, 3).center());
        QVERIFY(w->hints().balloon() && w->hints().balloon()->isVisible());
        QCOMPARE(w->hints().balloon()->hintText(), QString(binary).replace("\r\n", "\n"));

        // Another cell cancels the balloon so that its own text shows next.
        QTest::mouseMove(grid()->viewport(), cellRect(colAck, 3).center());
        QTRY_COMPARE(editing().HintCell, QPoint(colAck, 3));
        QVERIFY(!w->hints().balloon()->isVisible());
        QCOMPARE(editing().StringGrid1Hint(),
                 QStringLiteral("\"OK\"\r\n\r\nACK and NACK: can be blank or can consist of one or "
                                "more characters, case sensetive\r\n\r\nto use this verisfication "
                                "please fill both fields(ACK and NACK) \r\n- if one of them is "
                                "blank - the verification will NOT done"));

        // The header row has hints of its own.
        QHeaderView* header = grid()->horizontalHeader();
        const QPoint typeHeader(header->sectionViewportPosition(colType) + 5, header->height() / 2);
        QTest::mouseMove(header->viewport(), typeHeader);
        QTRY_COMPARE(editing().HintCell, QPoint(colType, 0));
        QCOMPARE(header->viewport()->toolTip(),
                 QStringLiteral("\"Type\"\r\n\r\ntype of the command: must be selected from "
                                "drop-down combo-box"));

        w->mnuShowHint->trigger();  // off
        askTip(header->viewport(), typeHeader);
        QVERIFY(!w->hints().balloon()->isVisible());
    }

    // The texts themselves, column by column (the mouse is followed above).
    void hintTextsOfEveryColumn_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        const QString path = "the path can be with \"\\\"<= down from the current dir";
        QTest::newRow("Name") << 0 << "Erase"
                              << "\"Erase\"\r\n\r\nName of the command";
        QTest::newRow("Type") << 1 << "Command"
                              << "\"Command\"\r\n\r\ntype of the command: must be selected "
                                 "from drop-down combo-box";
        QTest::newRow("Type File") << 1 << "File"
                                   << "\"File\"\r\n\r\nType of the command\r\nThe file's "
                                      "content will be sent As-Is\r\n\r\n\r\n" +
                                          path;
        QTest::newRow("Issue") << 2 << ""
                               << "\"\"\r\n\r\nthe command-itself: can be string of "
                                  "characters or file";
        QTest::newRow("Status") << 5 << "OK"
                                << "\"OK\"\r\n\r\nstatus info of last execution";
        QTest::newRow("Time-Out") << 6 << "2"
                                  << "\"2\"\r\n\r\nTimeOut in seconds for the current "
                                     "operation";
        QTest::newRow("Real-Time") << 7 << "0"
                                   << "\"0\"\r\n\r\nReal Time in seconds for the current "
                                      "operation";
    }
    void hintTextsOfEveryColumn() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        QCOMPARE(gridHint(column, text), hint);
    }

    void writingIntoTheLastRowAppendsAnEmptyOne() {
        const int rows = table().rowCount();
        const int last = rows - 1;
        typeCell(colName, last, "tail");
        QCOMPARE(table().cell(colName, last), QStringLiteral("tail"));
        QCOMPARE(table().rowCount(), rows + 1);
        QVERIFY(table().isRowEmpty(rows));

        // A type picked in the new last row grows the table once more.
        pickType(rows, "Sync_1");
        QCOMPARE(table().rowCount(), rows + 2);
        click(colName, 2);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, rows), QStringLiteral("Sync_1"));
        QCOMPARE(table().rowCount(), rows + 2);

        // Text typed elsewhere, or a blank, grows nothing.
        typeCell(colName, 3, "middle");
        typeCell(colName, rows + 1, " ");
        QCOMPARE(table().rowCount(), rows + 2);
    }

    void aProjectWrittenInTheWindowSavesAndRuns() {
        for (const char* f : {"board.hex", "board.chk"})
            QVERIFY(QFile::copy(QString(EXAMPLES_DIR "/") + f, folder->filePath(f)));
        const QString firmware = folder->filePath("board.hex");

        typeCell(colName, 2, "who");
        pickType(2, "Command");
        typeCell(colIssue, 2, "ID!");
        typeCell(colAck, 2, "OK");
        typeCell(colNack, 2, "ERR");
        typeCell(colTimeOut, 2, "2");

        typeCell(colName, 3, "erase");
        pickType(3, "Command");
        typeCell(colIssue, 3, "E!");
        typeCell(colAck, 3, "OK");
        typeCell(colNack, 3, "ERR");

        typeCell(colName, 4, "firmware");
        pickType(4, "File_BINary");
        click(colIssue, 4);  // leaves the list and opens the picker
        QTRY_VERIFY(w->JvFilenameEdit1->isVisible());
        seams->dialogs->answers.push_back(firmware);
        QTest::mouseClick(w->JvFilenameEdit1->browseButton(), Qt::LeftButton);
        typeCell(colAck, 4, "OK");
        typeCell(colNack, 4, "ERR");

        typeCell(colName, 5, "sync");
        pickType(5, "Sync_1");
        typeCell(colAck, 5, "SYNC");
        typeCell(colNack, 5, "ERR");

        typeCell(colName, 6, "sum");
        pickType(6, "Action_CS");
        typeCell(colAck, 6, "OK");
        typeCell(colNack, 6, "ERR");
        click(colName, 7);
        QTRY_VERIFY(!w->cmbxFile->isVisible());
        QCOMPARE(table().cell(colType, 4), QStringLiteral("File_BINary"));
        QCOMPARE(table().cell(colIssue, 4), firmware);
        QCOMPARE(table().cell(colType, 6), QStringLiteral("Action_CS"));

        const QString project = folder->filePath("made.cmd");
        seams->dialogs->answers.push_back(project);
        w->SpeedButtonSave->click();
        const QByteArray saved = readAll(project);
        QVERIFY(saved.contains("[2]\r\nName=who\r\nType=Command\r\nIssue=ID!\r\nACK_string=OK"));
        QVERIFY(saved.contains("Type=File_BINary\r\nIssue=" + firmware.toLocal8Bit()));
        QVERIFY(
            saved.contains("Type=Sync_1\r\nIssue=This is an internal command of Keldrin: "
                           "Sync_1 will not be shown\r\nACK_string=SYNC"));

        // Loaded again and run against the simulated device.
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "31"}));
        seams->dialogs->answers.push_back(project);
        w->SpeedButtonLoad->click();
        w->SpinEdit_DelayOnSent->setValue(0);
        w->SioComPort1->SetComNumber(31);
        w->SioComPort1->Open();
        QVERIFY(w->SioComPort1->IsOpen());
        w->btnGo->click();
        // The run puts its marker row in front of the rows, which moves them down by one.
        QStringList names, statuses;
        for (int r = 3; r <= 7; ++r) {
            names << table().cell(colName, r);
            statuses << table().cell(colStatus, r);
        }
        QCOMPARE(names, (QStringList{"who", "erase", "firmware", "sync", "sum"}));
        QCOMPARE(statuses, (QStringList{"OK", "OK", "OK", "OK", "OK"}));
        QCOMPARE(table().cell(colIssue, 7), QStringLiteral(":03000003127B5F0E"));
        QCOMPARE(shownColour(colStatus, 5), kLime);
        QVERIFY(testkit::alertMessages(*seams->alerts)
                    .contains("All your commands had been executed!... see you later..."));
        w->SioComPort1->Close();
        QCOMPARE(device.stop(), 0);
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    TableEditingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "table_editing_test.moc"
