#include <unistd.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <vector>

#include "platform/FakeSeams.h"
#include "platform/Guard.h"
#include "tools/FileAccess.h"
#include "tools/HexEditorPage.h"
#include "widgets/HexView.h"
#include "widgets/StatusPanels.h"

using namespace keldrin;

class HexEditorPageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QWidget> window;
    StatusPanels* bar = nullptr;
    HexEditorPage* page = nullptr;
    QTemporaryDir dir;
    QString dialogFile;
    int dialogFilter = 1;
    std::vector<QString> trapped;

    HexView* view() const { return page->MPHexEditorEx1; }
    QWidget* canvas() const { return view()->canvas(); }
    QString status() const { return bar->panelText(0); }

    QString makeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(bytes);
        return path;
    }
    void openThroughDialog(const QString& path) {
        seams->dialogs->answers.push_back(path);
        QTest::mouseClick(page->btnOpenHex, Qt::LeftButton);
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(canvas(), Qt::Key(k), m);
    }

  private slots:
    void init() {
        seams = std::make_unique<platform::FakeSeams>();
        trapped.clear();
        setErrorTrap([this](const std::exception& e, const char*) {
            trapped.push_back(QString::fromLocal8Bit(e.what()));
        });
        window = std::make_unique<QWidget>();
        window->resize(820, 520);
        auto* column = new QVBoxLayout(window.get());
        auto* sheet = new QWidget(window.get());
        column->addWidget(sheet, 1);
        bar = new StatusPanels({{QStringLiteral("Idle..."), 150, Qt::AlignLeft, true, {}, false}},
                               window.get());
        column->addWidget(bar);
        HexEditorLinks links;
        links.dialogParent = window.get();
        links.openDialogFileName = [this]() -> QString& { return dialogFile; };
        links.openDialogFilterIndex = [this]() -> int& { return dialogFilter; };
        links.showStatus = [this](const QString& t) { bar->setPanelText(0, t); };
        page = new HexEditorPage(sheet, std::move(links));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        window.reset();
        setErrorTrap(nullptr);
        seams.reset();
    }

    void opensThroughTheSharedDialogOnItsSecondFilter() {
        QCOMPARE(page->btnOpenHex->text(), QStringLiteral("Open File"));
        const QString path = makeFile(QStringLiteral("a.bin"), "Hello\x01\xFF");
        openThroughDialog(path);
        QCOMPARE(seams->dialogs->requests.size(), std::size_t(1));
        const platform::FileDialogRequest& r = seams->dialogs->requests[0];
        QCOMPARE(r.filterIndex, 2);
        QCOMPARE(r.filter,
                 QStringLiteral("HEX and Bin (*.hex;*.bin)|*.hex;*.bin|TEXT (*.txt)|*.txt|"
                                "Project File (*.cmd)|*.cmd|All files|*.*"));
        QCOMPARE(dialogFile, path);
        QCOMPARE(dialogFilter, 2);
        QCOMPARE(view()->fileName(), path);
        QCOMPARE(view()->dataSize(), std::int64_t(7));
        QCOMPARE(status(), QStringLiteral("0x0|"));
        QVERIFY(trapped.empty());
        // Cancelling the dialog changes nothing.
        QTest::mouseClick(page->btnOpenHex, Qt::LeftButton);
        QCOMPARE(view()->fileName(), path);
        QCOMPARE(dialogFile, path);
    }

    void theCaretOffsetGoesToTheStatusLineClampedAtBothEnds() {
        openThroughDialog(makeFile(QStringLiteral("b.bin"), QByteArray(300, 'z')));
        canvas()->setFocus();
        key(Qt::Key_Left);
        QCOMPARE(view()->caret(), std::int64_t(0));
        QCOMPARE(status(), QStringLiteral("0x000|"));
        key(Qt::Key_Down);
        key(Qt::Key_Right);
        QCOMPARE(status(), QStringLiteral("0x011|"));
        key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(status(), QStringLiteral("0x12B|"));
        key(Qt::Key_Right);
        key(Qt::Key_Down);
        key(Qt::Key_PageDown);
        QCOMPARE(view()->caret(), std::int64_t(299));
        QCOMPARE(status(), QStringLiteral("0x12B|"));
        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_PageUp);
        key(Qt::Key_Up);
        QCOMPARE(status(), QStringLiteral("0x000|"));
        // A selected range shows its start and length.
        key(Qt::Key_Right);
        key(Qt::Key_Right, Qt::ShiftModifier);
        key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(status(), QStringLiteral("0x001| length 18"));
        key(Qt::Key_Left);
        QCOMPARE(status(), QStringLiteral("0x011|"));
        view()->setCaret(-5);
        QCOMPARE(view()->caret(), std::int64_t(0));
        view()->setCaret(1000);
        QCOMPARE(view()->caret(), std::int64_t(299));
    }

    void theMousePutsTheCaretAndDragsASelection() {
        openThroughDialog(makeFile(QStringLiteral("m.bin"), QByteArray(4096, 'm')));
        QWidget* area = view()->canvas()->viewport();
        const int rowHeight = area->fontMetrics().height() + 2;
        const int y = rowHeight + 3 + rowHeight * 2 + rowHeight / 2;  // below the ruler, row 2
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(area->width() * 3 / 10, y));
        QCOMPARE(view()->caret() / 16, std::int64_t(2));
        QMouseEvent move(QEvent::MouseMove, QPointF(area->width() / 2, y),
                         area->mapToGlobal(QPointF(area->width() / 2, y)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(area->width() / 2, y));
        QVERIFY(view()->selectionLength() > 1);
        QCOMPARE(view()->selectionStart() / 16, std::int64_t(2));
        QVERIFY(status().contains(QStringLiteral(" length ")));
    }

    void aFileLockedByAnotherProgramLeavesTheViewAndRecordsTheError() {
        const QString shown = makeFile(QStringLiteral("shown.bin"), "shown");
        openThroughDialog(shown);
        const QString locked = makeFile(QStringLiteral("locked.bin"), "locked bytes");
        QProcess holder;
        holder.start(QStringLiteral("flock"),
                     // Without a fork, so that ending the holder ends the lock.
                     {QStringLiteral("--exclusive"), QStringLiteral("--no-fork"), locked,
                      QStringLiteral("sleep"), QStringLiteral("120")});
        QVERIFY(holder.waitForStarted());
        bool readOnly = false;
        QTRY_VERIFY_WITH_TIMEOUT(!CanOpenFile(locked, readOnly), 20000);

        openThroughDialog(locked);
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(trapped.size(), std::size_t(1));
        QCOMPARE(
            trapped[0],
            QStringLiteral("Cannot open %1.\r\n(Resource temporarily unavailable.)").arg(locked));
        QCOMPARE(view()->fileName(), shown);
        QCOMPARE(view()->dataSize(), std::int64_t(5));
        // Once the other program lets go it opens.
        openThroughDialog(locked);
        QCOMPARE(view()->fileName(), locked);
    }

    void aMissingFileAnEmptyFileAndAFolder() {
        openThroughDialog(dir.filePath(QStringLiteral("none.bin")));
        QCOMPARE(trapped.size(), std::size_t(1));
        QCOMPARE(trapped[0], QStringLiteral("Cannot open %1.\r\n(No such file or directory.)")
                                 .arg(dir.filePath(QStringLiteral("none.bin"))));
        openThroughDialog(makeFile(QStringLiteral("empty.bin"), {}));
        QCOMPARE(view()->dataSize(), std::int64_t(0));
        QCOMPARE(status(), QStringLiteral("0x0|"));
        key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view()->caret(), std::int64_t(0));
        QVERIFY(!view()->grab().isNull());
        openThroughDialog(dir.path());
        QCOMPARE(trapped.size(), std::size_t(2));
        QVERIFY(trapped[1].endsWith(QStringLiteral("(Is a directory.)")));
    }

    void aFileThatShrinksWhileShownDoesNotCrashTheView() {
        const QString path = makeFile(QStringLiteral("shrinks.bin"), QByteArray(1 << 20, 'q'));
        openThroughDialog(path);
        key(Qt::Key_End, Qt::ControlModifier);
        QVERIFY(!view()->grab().isNull());
        QCOMPARE(truncate(QFile::encodeName(path).constData(), 100), 0);
        QVERIFY(!view()->grab().isNull());
        canvas()->update();
        QTRY_COMPARE_WITH_TIMEOUT(view()->caret(), std::int64_t(99), 10000);
        QCOMPARE(status(), QStringLiteral("0x63|"));
        QTRY_COMPARE_WITH_TIMEOUT(view()->canvas()->verticalScrollBar()->maximum(), 0, 10000);
        QCOMPARE(view()->topRow(), std::int64_t(0));
    }

    void goToOffsetAndFindWithTheirKeys() {
        QByteArray bytes(200000, '\0');
        bytes.replace(150000, 6, "MARKER");
        bytes.replace(190000, 3, "\x01\x02\x03");
        openThroughDialog(makeFile(QStringLiteral("c.bin"), bytes));
        canvas()->setFocus();
        key(Qt::Key_G, Qt::ControlModifier);
        QVERIFY(view()->goToBox()->isVisible());
        QTest::keyClicks(view()->goToBox(), QStringLiteral("0x100"));
        QTest::keyClick(view()->goToBox(), Qt::Key_Return);
        QCOMPARE(view()->caret(), std::int64_t(256));
        QCOMPARE(status(), QStringLiteral("0x00100|"));
        view()->goToBox()->setText(QStringLiteral("999999"));
        QVERIFY(!view()->goToTyped());
        QCOMPARE(view()->caret(), std::int64_t(256));

        canvas()->setFocus();
        key(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(view()->findBox()->isVisible());
        QSignalSpy found(view(), &HexView::searchFinished);
        QTest::keyClicks(view()->findBox(), QStringLiteral("MARKER"));
        QTest::keyClick(view()->findBox(), Qt::Key_Return);
        QVERIFY(found.wait(20000));
        QCOMPARE(found.takeFirst().at(0).toLongLong(), 150000);
        QCOMPARE(status(), QStringLiteral("0x249F0| length 6"));
        QVERIFY(view()->topRow() > 0);

        view()->findHexChoice()->setChecked(true);
        view()->findBox()->setText(QStringLiteral("01 02 03"));
        QVERIFY(view()->findNext());
        QVERIFY(found.wait(20000));
        QCOMPARE(found.takeFirst().at(0).toLongLong(), 190000);
        view()->findBox()->setText(QStringLiteral("04 05"));
        QVERIFY(view()->findNext());
        QVERIFY(found.wait(20000));
        QCOMPARE(found.takeFirst().at(0).toLongLong(), -1);
        QCOMPARE(view()->findStatus()->text(), QStringLiteral("Not found"));
        QCOMPARE(view()->caret(), std::int64_t(190002));
    }
};

QTEST_MAIN(HexEditorPageTest)
#include "hex_editor_page_test.moc"
