// The window's settings across restarts: column widths, placement and the stored properties in
// "Keldrin.xml" beside the program.

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "platform/FakeSeams.h"
#include "platform/SettingsStore.h"
#include "runner/ProjectFile.h"
#include "runner/Runner.h"
#include "shell/Application.h"
#include "shell/FormSettings.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "terminal/CommunicationPage.h"
#include "tools/CalcEdit.h"
#include "tools/CalculationsPage.h"
#include "tools/NumberBaseEdit.h"
#include "widgets/FilenameEdit.h"
#include "widgets/RadioGroup.h"

using namespace keldrin;
using platform::SettingsStore;

namespace {

const QByteArray kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";

int screenPpi() {
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
}

}  // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;

    QString file() const { return folder->filePath(QStringLiteral("Keldrin.xml")); }

    std::unique_ptr<TfrmMain> makeWindow() {
        auto w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->show();
        QTest::qWait(10);
        return w;
    }

    void put(const QByteArray& configuration) {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kDeclaration + "<Configuration>\r\n" + configuration + "</Configuration>\r\n");
    }

    QByteArray fileBytes() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // What the file holds now, as a fresh reader sees it.
    std::unique_ptr<SettingsStore> stored() {
        auto s = std::make_unique<SettingsStore>(file());
        if (s->load().outcome != SettingsStore::Loaded::Read) return nullptr;
        return s;
    }

    // What a window shows without a settings file: its column widths and its geometry.
    struct Design {
        QList<int> widths;
        QRect geometry;
    };
    Design design() {
        const QString keep = folder->path();
        QTemporaryDir empty;
        platform::setProgramFolder(empty.path());
        Design d;
        {
            auto w = makeWindow();
            for (int c = 0; c < 8; ++c) d.widths << w->StringGrid1->columnWidth(c);
            d.geometry = w->geometry();
        }
        platform::setProgramFolder(keep);
        return d;
    }

  private slots:
    void init() { testkit::enterSandbox(seams, folder); }
    void cleanup() { testkit::leaveSandbox(seams, folder); }

    void columnWidthsSurviveARestartAndOneDragWritesAllEight() {
        {
            auto w = makeWindow();
            w->resize(w->width() + 50, w->height());  // the last column follows the window
            QTest::qWait(10);
            QVERIFY(!QFile::exists(file()));  // starting and resizing write nothing
            w->StringGrid1->horizontalHeader()->resizeSection(2, 123);  // what a drag does
            auto s = stored();
            QVERIFY(s);
            for (int c = 0; c < 8; ++c)
                QCOMPARE(s->readInteger(QStringLiteral("StringGrid1_ColWidth_%1").arg(c), -1),
                         w->StringGrid1->columnWidth(c));
            QCOMPARE(s->readInteger(QStringLiteral("StringGrid1_ColWidth_2"), -1), 123);
        }
        auto w = makeWindow();
        QCOMPARE(w->StringGrid1->columnWidth(2), 123);
    }

    void aStoredZeroKeepsTheDesignWidthAndReadingWritesNothing() {
        const QList<int> design = this->design().widths;
        const QByteArray widths =
            "<StringGrid1_ColWidth_0>0</StringGrid1_ColWidth_0>\r\n"
            "<StringGrid1_ColWidth_1>77</StringGrid1_ColWidth_1>\r\n"
            "<StringGrid1_ColWidth_3>x</StringGrid1_ColWidth_3>\r\n";
        put(widths);
        const QByteArray before = fileBytes();
        auto w = makeWindow();
        QCOMPARE(w->StringGrid1->columnWidth(0), design.at(0));
        QCOMPARE(w->StringGrid1->columnWidth(1), 77);
        QCOMPARE(w->StringGrid1->columnWidth(3), design.at(3));
        QCOMPARE(fileBytes(), before);
        QCOMPARE(GridTag(w->StringGrid1), 0);
    }

    // Without FormVersion 1 neither the placement nor a property comes back; widths still do.
    void withoutFormVersionOnlyTheWidthsApply() {
        const QRect centre = design().geometry;
        for (const QByteArray& version :
             {QByteArray(), QByteArray("<FormVersion>0</FormVersion>")}) {
            put("<StringGrid1_ColWidth_4>91</StringGrid1_ColWidth_4>\r\n<----->" + version +
                "<PixelsPerInch>" + QByteArray::number(screenPpi()) +
                "</PixelsPerInch><NormPos>10,20,1010,720</NormPos>"
                "<CheckBoxBeepOnSend_Checked>TRUE</CheckBoxBeepOnSend_Checked></----->\r\n");
            auto w = makeWindow();
            QCOMPARE(w->StringGrid1->columnWidth(4), 91);
            QVERIFY(!w->CheckBoxBeepOnSend->isChecked());
            QCOMPARE(w->geometry(), centre);
        }
    }

    void placementComesBackOnTheSameScreenOnly() {
        {
            auto w = makeWindow();
            w->setGeometry(40, 50, 700, 500);
            w->close();
        }
        auto s = stored();
        QVERIFY(s);
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const QString suffix = QStringLiteral("(%1x%2)").arg(screen.width()).arg(screen.height());
        QCOMPARE(s->readText(QStringLiteral("-----\\NormPos") + suffix),
                 QStringLiteral("40,50,740,550"));
        QCOMPARE(s->readText(QStringLiteral("-----\\NormPos")), QStringLiteral("40,50,740,550"));
        QCOMPARE(s->readInteger(QStringLiteral("-----\\PixelsPerInch"), 0), screenPpi());
        {
            auto w = makeWindow();
            QCOMPARE(w->geometry(), QRect(40, 50, 700, 500));
        }
        // Another pixels-per-inch value: the window comes up centred, the properties still apply.
        const QRect centre = design().geometry;
        put("<-----><FormVersion>1</FormVersion><PixelsPerInch>" +
            QByteArray::number(screenPpi() + 24) +
            "</PixelsPerInch><NormPos>40,50,940,650</NormPos>"
            "<CheckBoxBeepOnSend_Checked>TRUE</CheckBoxBeepOnSend_Checked></----->\r\n");
        auto w = makeWindow();
        QCOMPARE(w->geometry(), centre);
        QVERIFY(w->CheckBoxBeepOnSend->isChecked());
    }

    // A placement made for another screen layout (a run without a display, a monitor since
    // unplugged) is moved onto the screen as far as the window fits; its size stays.
    void aPlacementOffTheScreenIsMovedOntoIt() {
        const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
        // Where the window's frame must end up; it is moved no further than that.
        enum Where { Stays, AtLeftEdge, AtBottomRight, AtTopLeft };
        const struct {
            QRect stored;
            Where where;
        } cases[] = {
            {QRect(a.left() + 40, a.top() + 50, 700, 500), Stays},
            {QRect(a.left() - 52, a.top() + 94, 700, 500), AtLeftEdge},
            {QRect(a.right() + 2000, a.bottom() + 2000, 700, 500), AtBottomRight},
            // Wider and taller than the screen: its top-left corner is what stays reachable.
            {QRect(a.left() - 52, a.top() - 10, a.width() + 56, a.height() + 9), AtTopLeft},
        };
        for (const auto& c : cases) {
            const QRect& r = c.stored;
            put("<-----><FormVersion>1</FormVersion><PixelsPerInch>" +
                QByteArray::number(screenPpi()) + "</PixelsPerInch><NormPos>" +
                QStringLiteral("%1,%2,%3,%4")
                    .arg(r.left())
                    .arg(r.top())
                    .arg(r.left() + r.width())
                    .arg(r.top() + r.height())
                    .toLatin1() +
                "</NormPos></----->\r\n");
            auto w = makeWindow();
            const QRect frame = w->frameGeometry();
            QCOMPARE(w->geometry().size(), r.size());
            switch (c.where) {
                case Stays:
                    QCOMPARE(w->geometry(), r);
                    break;
                case AtLeftEdge:
                    QCOMPARE(frame.left(), a.left());
                    QCOMPARE(w->geometry().top(), r.top());
                    break;
                case AtBottomRight:
                    QCOMPARE(frame.bottomRight(), a.bottomRight());
                    break;
                case AtTopLeft:
                    QCOMPARE(frame.topLeft(), a.topLeft());
                    break;
            }
            if (c.where != AtTopLeft) QVERIFY(a.contains(frame));
        }
    }

    void checkBoxesReadEveryFormOfBoolean() {
        const struct {
            const char* text;
            bool checked;
        } cases[] = {{"TRUE", true}, {"yes", true}, {"1", true},  {"FALSE", false},
                     {"n", false},   {"0", false},  {"??", false}};  // unreadable: design value
        for (const auto& c : cases) {
            put(QByteArray("<-----><FormVersion>1</FormVersion><CheckBoxBeepOnReceive_Checked>") +
                c.text + "</CheckBoxBeepOnReceive_Checked></----->");
            auto w = makeWindow();
            QVERIFY2(w->CheckBoxBeepOnReceive->isChecked() == c.checked, c.text);
        }
    }

    // Restoring "Force low Case" runs its click handler: typing then gives lower case.
    void forceLowCaseRestoredRunsItsClickHandler() {
        put("<-----><FormVersion>1</FormVersion><RadioButton1_Checked>FALSE</RadioButton1_Checked>"
            "<RadioButton2_Checked>FALSE</RadioButton2_Checked>"
            "<RadioButtonForceLowCase_Checked>TRUE</RadioButtonForceLowCase_Checked></----->");
        auto w = makeWindow();
        QVERIFY(w->communication->RadioButtonForceLowCase->isChecked());
        QTest::keyClicks(w->communication->edEditSendData, QStringLiteral("AbC"));
        QCOMPARE(w->communication->edEditSendData->text(), QStringLiteral("abc"));
    }

    void everyBuiltPropertySurvivesARestart() {
        {
            auto w = makeWindow();
            w->calculations->PBBinHexEdit1->setValue(0xFF);
            w->calculations->PBBinHexEdit2->setValue(0xBEEF);
            w->calculations->JvCalcEdit4->setValue(1.0);
            w->JvFilenameEdit1->setFileName(QStringLiteral("/tmp/fw.hex"));
            w->JvFilenameEdit1->FilterIndex = 2;
            w->JvFilenameEdit1->InitialDir = QStringLiteral("/tmp/firmware");
            CommunicationPage& c = *w->communication;
            w->useupto255CommPorts1->setChecked(true);
            c.RadioButton1->click();
            c.edEditSendData->setText(QStringLiteral("A<B&C>!"));
            w->CheckBoxBeepOnReceive->setChecked(true);
            w->CheckBoxBeepOnSend->setChecked(true);
            c.SpinEdit4Loop->setValue(7);
            w->SaveDialog1().FileName = QStringLiteral("/tmp/s&ve.cmd");
            w->SaveDialog1().FilterIndex = 2;
            w->runner->Timer4CurrLineCommTimeOut.setInterval(4321);
            w->RadioGroupReceive->setItemIndex(1);
            w->RadioGroupTransmit->setItemIndex(3);
            w->SpinEdit_Timer4CurrLineCommTimeOut->setValue(9);
            w->OpenDialog1().FileName = QStringLiteral("/tmp/open.cmd");
            w->OpenDialog1().InitialDir = QStringLiteral("/tmp");
            w->OpenDialog1().FilterIndex = 3;
            w->chkRemoveASCII_cntrlCharsRX->setChecked(false);
            w->mnuShowHint->setChecked(false);
            w->SpeedButton_Resize->setChecked(true);
            c.chkbx_RXAutoscroll->setChecked(!c.chkbx_RXAutoscroll->isChecked());
            c.chkbx_TXAutoscroll->setChecked(!c.chkbx_TXAutoscroll->isChecked());
            c.SpinEdit_RX_maxLines->setValue(c.SpinEdit_RX_maxLines->value() + 5);
            w->StringGrid1->horizontalHeader()->resizeSection(0, 60);
            w->close();
        }
        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.startsWith(kDeclaration + "<Configuration>\r\n"));
        QVERIFY(!bytes.contains("\n\n") && bytes.count('\n') == bytes.count("\r\n"));
        QVERIFY(bytes.contains("<edEditSendData_Text>A&lt;B&amp;C&gt;!</edEditSendData_Text>"));
        // 1.0 as the 80-bit extended value.
        QVERIFY(bytes.contains("<JvCalcEdit4_Value>0000000000000080FF3F</JvCalcEdit4_Value>"));

        // The group's elements in their order.
        auto s = stored();
        QVERIFY(s);
        const platform::XmlElement* group = s->root().child(QStringLiteral("-----"));
        QVERIFY(group);
        QStringList names;
        for (const auto& e : group->children) names << e.name;
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const QString suffix = QStringLiteral("_%1x%2_").arg(screen.width()).arg(screen.height());
        QStringList expected{
            "FormVersion",      "Flags",  "PixelsPerInch", "MinMaxPos" + suffix, "MinMaxPos",
            "NormPos" + suffix, "NormPos"};
        for (const StoredPropertyName& p : StoredProperties()) {
            const QString n = QString::fromLatin1(p.component) + '_' + p.property;
            if (!expected.contains(n)) expected << n;
        }
        QCOMPARE(names, expected);

        auto w = makeWindow();
        CommunicationPage& c = *w->communication;
        QVERIFY(w->useupto255CommPorts1->isChecked() && !w->useupto24CommPorts1->isChecked());
        QVERIFY(c.RadioButton1->isChecked());
        QCOMPARE(c.edEditSendData->text(), QStringLiteral("A<B&C>!"));
        QVERIFY(w->CheckBoxBeepOnReceive->isChecked() && w->CheckBoxBeepOnSend->isChecked());
        QCOMPARE(c.SpinEdit4Loop->value(), 7);
        QCOMPARE(c.Timer4Loop->interval(), 7000);  // its change handler ran
        QCOMPARE(w->SaveDialog1().FileName, QStringLiteral("/tmp/s&ve.cmd"));
        QCOMPARE(w->SaveDialog1().FilterIndex, 2);
        QCOMPARE(w->RadioGroupReceive->itemIndex(), 1);
        QCOMPARE(w->RadioGroupTransmit->itemIndex(), 3);
        QCOMPARE(w->SpinEdit_Timer4CurrLineCommTimeOut->value(), 9);
        QCOMPARE(w->OpenDialog1().FileName, QStringLiteral("/tmp/open.cmd"));
        QCOMPARE(w->OpenDialog1().InitialDir, QStringLiteral("/tmp"));
        QCOMPARE(w->OpenDialog1().FilterIndex, 3);
        QCOMPARE(w->calculations->PBBinHexEdit1->value(), std::uint64_t(0xFF));
        QCOMPARE(w->calculations->PBBinHexEdit2->value(), std::uint64_t(0xBEEF));
        QCOMPARE(w->calculations->JvCalcEdit4->value(), 1.0);
        QCOMPARE(w->JvFilenameEdit1->FileName(), QStringLiteral("/tmp/fw.hex"));
        QCOMPARE(w->JvFilenameEdit1->FilterIndex, 2);
        QCOMPARE(w->JvFilenameEdit1->InitialDir, QStringLiteral("/tmp/firmware"));
        QVERIFY(!w->chkRemoveASCII_cntrlCharsRX->isChecked());
        QVERIFY(!w->mnuShowHint->isChecked());
        // "Auto Resize Columns" comes back down without sizing the columns on its own.
        QVERIFY(w->SpeedButton_Resize->isChecked());
        QCOMPARE(w->StringGrid1->columnWidth(0), 60);
        // The field comes back after the timer's interval, and its change handler sets the
        // interval from it (value x 1000 ms), as it does for the loop period.
        auto again = stored();
        QCOMPARE(again->readInteger(QStringLiteral("-----\\Timer4CurrLineCommTimeOut_Interval"), 0),
                 9000);
    }

    // Two windows (two instances) writing in turn leave one whole file; the last writer's.
    void twoWindowsWritingInTurnLeaveAWholeFile() {
        auto a = makeWindow();
        auto b = makeWindow();
        a->StringGrid1->horizontalHeader()->resizeSection(1, 101);
        b->StringGrid1->horizontalHeader()->resizeSection(1, 202);
        a->communication->edEditSendData->setText(QStringLiteral("from a"));
        b->communication->edEditSendData->setText(QStringLiteral("from b"));
        a->close();
        b->close();
        auto s = stored();
        QVERIFY(s);
        QCOMPARE(s->readText(QStringLiteral("-----\\edEditSendData_Text")),
                 QStringLiteral("from b"));
        QCOMPARE(s->readInteger(QStringLiteral("StringGrid1_ColWidth_1"), 0), 202);
        QCOMPARE(QDir(folder->path()).entryList({"Keldrin.xml*"}, QDir::Files),
                 QStringList{"Keldrin.xml"});
    }

    void aFileThatCannotBeParsedIsSetAsideAndTheProgramStarts() {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kDeclaration + "<Configuration><-----><FormVersion>1</FormVer");
        f.close();
        const QList<int> design = this->design().widths;
        auto w = makeWindow();
        QVERIFY(w->isVisible());
        QCOMPARE(w->StringGrid1->columnWidth(0), design.at(0));
        QVERIFY(QFile::exists(file() + ".bad"));
        QVERIFY(!QFile::exists(file()));
        QFile log(folder->filePath("_errors_log.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("Keldrin.xml.bad"), 1);
        QVERIFY(seams->boxes->shown.empty());
        w->StringGrid1->horizontalHeader()->resizeSection(0, 66);
        auto s = stored();
        QVERIFY(s);
        QCOMPARE(s->readInteger(QStringLiteral("StringGrid1_ColWidth_0"), 0), 66);
    }

    void aReadOnlyFileIsLeftAloneWithoutAWord() {
        put("<StringGrid1_ColWidth_0>80</StringGrid1_ColWidth_0>\r\n");
        QFile::setPermissions(file(), QFile::ReadOwner);
        const QByteArray before = fileBytes();
        {
            auto w = makeWindow();
            QCOMPARE(w->StringGrid1->columnWidth(0), 80);
            w->StringGrid1->horizontalHeader()->resizeSection(0, 90);
            w->close();
        }
        QCOMPARE(fileBytes(), before);
        QVERIFY(seams->boxes->shown.empty());
        QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner);
    }
};

int main(int argc, char** argv) {
    keldrin::Application app(argc, argv);
    SettingsWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_window_test.moc"
