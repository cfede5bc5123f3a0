// The COM port pickers and the port status report as the window shows them, against
// pseudo-terminals that a temporary port map names.

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "platform/FakeSeams.h"
#include "platform/Guard.h"
#include "serial/SioComPort.h"
#include "serial/discovery/PortStatusReport.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "serial/discovery/TXComm.h"
#include "unit/discovery/DiscoveryFixture.h"

using namespace keldrin;
using namespace keldrin::serial;
using namespace keldrin::serial::testing;

namespace {

struct Entry {
    QString text;
    std::uint32_t tag;
    bool operator==(const Entry& o) const { return text == o.text && tag == o.tag; }
};

std::vector<Entry> entries(const TSioPortComboBox& box) {
    std::vector<Entry> out;
    for (int i = 0; i < box.count(); ++i) out.push_back({box.itemText(i), box.EntryTag(i)});
    return out;
}

QString describe(const std::vector<Entry>& list) {
    QStringList parts;
    for (const auto& e : list) parts << QStringLiteral("%1/%2").arg(e.text).arg(e.tag, 0, 16);
    return parts.join(QStringLiteral(", "));
}

std::uint32_t tag(TSioPortState state, int n) {
    return (std::uint32_t(state) << 16) | std::uint32_t(n);
}

// A user's pick of entry `index` with the keyboard: the arrow key moves onto it.
void pick(TSioPortComboBox& box, int index) {
    box.setCurrentIndex(index - 1);
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(box.currentIndex(), index);
}

// Errors that escape a handler, as the error log would receive them.
struct TrappedErrors {
    QStringList texts;
    TrappedErrors() {
        setErrorTrap([this](const std::exception& e, const char*) {
            texts << QString::fromStdString(e.what());
        });
    }
    ~TrappedErrors() { setErrorTrap(nullptr); }
};

// Pixels of one entry of the dropped-down list that lean clearly to one colour.
struct Inks {
    int red = 0, green = 0, blue = 0;
};
Inks inksOfRow(const QImage& image, const QRect& rect) {
    Inks inks;
    for (int y = rect.top(); y <= rect.bottom() && y < image.height(); ++y) {
        for (int x = rect.left(); x <= rect.right() && x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 120 && c.green() < 90 && c.blue() < 90) ++inks.red;
            if (c.green() > 90 && c.red() < 60 && c.blue() < 60) ++inks.green;
            if (c.blue() > 120 && c.red() < 90 && c.green() < 90) ++inks.blue;
        }
    }
    return inks;
}

}  // namespace

class DiscoveryWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { useMap({}); }

    void listsByProbeStateAndOptions() {
        PtyPair one, three;
        FlockHolder otherProgram(three.path);
        QVERIFY(otherProgram.fd >= 0);
        useMap({{1, one.path}, {3, three.path}, {5, "/nonexistent/ttyUSB5"}});

        TSioPortComboBox box;
        QCOMPARE(box.Options(), TSioPortCtlOptions(pcCheckExist));
        QCOMPARE(box.MaxComPorts(), std::int16_t(4));
        QVERIFY(!box.isEditable());
        box.SetOptions(pcCheckExist | pcHighlightOpen);
        box.SetMaxComPorts(24);
        const std::vector<Entry> existing = {{"COM 1", tag(psFree, 1)}, {"COM 3", tag(psInUse, 3)}};
        QVERIFY2(entries(box) == existing, qPrintable(describe(entries(box))));
        QCOMPARE(box.currentIndex(), -1);

        struct Case {
            TSioPortCtlOptions options;
            std::int16_t max;
            std::vector<Entry> expected;
        };
        std::vector<Entry> all;
        for (int n = 1; n <= 6; ++n) {
            const TSioPortState s = n == 1 ? psFree : n == 3 ? psInUse : psAbsent;
            all.push_back({QStringLiteral("COM %1").arg(n), tag(s, n)});
        }
        const Case cases[] = {
            {pcCheckExist | pcDisableOpen | pcHighlightOpen, 24, {{"COM 1", tag(psFree, 1)}}},
            {pcDisableOpen, 6, all},  // without pcCheckExist pcDisableOpen has no say
            {0, 6, all},
            {pcCheckExist, 2, {{"COM 1", tag(psFree, 1)}}},
            {pcCheckExist, 0, {}},
            {0, -1, {}},
        };
        for (const auto& c : cases) {
            box.SetOptions(c.options);
            box.SetMaxComPorts(c.max);
            QVERIFY2(entries(box) == c.expected, qPrintable(QStringLiteral("options %1 max %2: %3")
                                                                .arg(c.options)
                                                                .arg(c.max)
                                                                .arg(describe(entries(box)))));
            QCOMPARE(box.currentIndex(), -1);
        }

        // Without pcCheckExist every number up to MaxComPorts is listed, whatever exists.
        box.SetOptions(0);
        box.SetMaxComPorts(24);
        QCOMPARE(box.count(), 24);
        QCOMPARE(box.itemText(23), QStringLiteral("COM 24"));
        QCOMPARE(box.EntryState(23), psAbsent);
    }

    void portHeldByOurOwnPortObjectIsInUse() {
        PtyPair one, two;
        useMap({{1, one.path}, {2, two.path}});
        TSioComPort SioComPort1;
        SioComPort1.SetComNumber(2);
        SioComPort1.Open();
        TSioPortComboBox box;
        box.SetMaxComPorts(24);
        const std::vector<Entry> expected = {{"COM 1", tag(psFree, 1)}, {"COM 2", tag(psInUse, 2)}};
        QVERIFY2(entries(box) == expected, qPrintable(describe(entries(box))));
        SioComPort1.Close();
        box.RefillList();
        QCOMPARE(box.EntryState(1), psFree);
    }

    void inUseEntriesAreGreyInTheDroppedDownList() {
        PtyPair one, three;
        FlockHolder otherProgram(three.path);
        useMap({{1, one.path}, {3, three.path}});

        TSioPortComboBox box;
        box.SetOptions(pcCheckExist | pcHighlightOpen);
        box.SetMaxComPorts(24);
        // Colours that tell the inks apart: grey text red, button text blue, plain text green.
        QPalette pal = box.palette();
        pal.setColor(QPalette::Text, QColor(0, 160, 0));  // every group first
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(220, 0, 0));
        pal.setColor(QPalette::ButtonText, QColor(0, 0, 220));
        box.setPalette(pal);
        QPalette listPal = box.view()->palette();
        listPal.setColor(QPalette::Text, QColor(0, 160, 0));
        listPal.setColor(QPalette::Base, Qt::white);
        box.view()->setPalette(listPal);
        QFont big = box.font();
        big.setPixelSize(20);
        box.setFont(big);  // rebuilds the list, as a new font does
        QCOMPARE(box.count(), 2);
        box.resize(200, 30);
        box.show();

        auto rowInks = [&](int row) {
            box.showPopup();
            QAbstractItemView* view = box.view();
            const QImage image = view->viewport()->grab().toImage();
            const QRect rect = view->visualRect(view->model()->index(row, 0));
            box.hidePopup();
            return inksOfRow(image, rect);
        };
        Inks free = rowInks(0), held = rowInks(1);
        QVERIFY2(held.red > 0 && held.blue == 0 && held.green == 0,
                 qPrintable(
                     QStringLiteral("held %1/%2/%3").arg(held.red).arg(held.green).arg(held.blue)));
        QVERIFY2(free.blue > 0 && free.red == 0 && free.green == 0,
                 qPrintable(
                     QStringLiteral("free %1/%2/%3").arg(free.red).arg(free.green).arg(free.blue)));

        // The selected entry keeps the list's selection colours.
        box.setCurrentIndex(1);
        QCOMPARE(rowInks(1).red, 0);
        box.setCurrentIndex(-1);

        // Without pcHighlightOpen both are drawn in the list's plain text colour.
        box.SetOptions(pcCheckExist);
        free = rowInks(0);
        held = rowInks(1);
        QVERIFY(held.green > 0 && held.red == 0 && held.blue == 0);
        QVERIFY(free.green > 0 && free.red == 0 && free.blue == 0);

        // The entries have the font's height plus five pixels.
        QCOMPARE(box.view()->sizeHintForRow(0), QFontMetrics(big).height() + 5);
    }

    void showingTheSelectedNumber() {
        PtyPair one, three;
        useMap({{1, one.path}, {3, three.path}});
        TSioPortComboBox box;
        box.SetMaxComPorts(24);
        box.SetSelectedComNumber(3);
        QCOMPARE(box.currentText(), QStringLiteral("COM 3"));

        // A rebuild shows no entry but keeps the number.
        box.RefillList();
        QCOMPARE(box.currentIndex(), -1);
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(3));
        box.SelectByNumber();
        QCOMPARE(box.currentText(), QStringLiteral("COM 3"));

        // Showing an entry by index leaves the number alone.
        box.setCurrentIndex(0);
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(3));

        // A number no longer listed: the first entry, and its number.
        useMap({{1, one.path}});
        box.RefillList();
        box.SelectByNumber();
        QCOMPARE(box.currentText(), QStringLiteral("COM 1"));
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(1));

        // Nothing listed: no entry, number 0.
        useMap({});
        box.RefillList();
        box.SelectByNumber();
        QCOMPARE(box.currentIndex(), -1);
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(0));

        // A new font rebuilds the list.
        useMap({{2, three.path}});
        QFont other = box.font();
        other.setPointSize(other.pointSize() + 3);
        box.setFont(other);
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.itemText(0), QStringLiteral("COM 2"));
    }

    void assigningThePortTakesItsNumberAndForgetsItWhenItGoes() {
        PtyPair one, three;
        useMap({{1, one.path}, {3, three.path}});
        TSioPortComboBox box;
        box.SetMaxComPorts(24);
        auto port = std::make_unique<TSioComPort>();
        port->SetComNumber(3);
        box.SetComPort(port.get());
        QCOMPARE(box.ComPort(), port.get());
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(3));
        QCOMPARE(box.currentText(), QStringLiteral("COM 3"));
        port.reset();
        QCOMPARE(box.ComPort(), nullptr);
        pick(box, 0);  // a pick without a port only takes the number
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(1));
    }

    void exitRunsWhenTheFocusLeavesButNotForTheList() {
        PtyPair one;
        useMap({{1, one.path}});
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* box = new TSioPortComboBox;
        auto* other = new QLineEdit;
        layout->addWidget(box);
        layout->addWidget(other);
        int exits = 0;
        box->OnExit = [&](TSioPortComboBox* sender) {
            QCOMPARE(sender, box);
            ++exits;
        };
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->showPopup();
        box->hidePopup();
        QCOMPARE(exits, 0);
        other->setFocus();
        QTRY_COMPARE(exits, 1);
    }

    void pickingReopensThePortOnTheNewNumber() {
        PtyPair one, three;
        useMap({{1, one.path}, {3, three.path}});
        TSioComPort SioComPort1;
        QStringList events;
        SioComPort1.OnPortClose = [&](TSioComPort* p) {
            events << QStringLiteral("close %1").arg(p->ComNumber());
        };
        SioComPort1.OnPortOpen = [&](TSioComPort* p) {
            events << QStringLiteral("open %1").arg(p->ComNumber());
        };
        SioComPort1.SetComNumber(1);
        SioComPort1.Open();
        events.clear();

        TSioPortComboBox box;
        box.SetOptions(pcCheckExist | pcHighlightOpen);
        box.SetMaxComPorts(24);
        box.SetComPort(&SioComPort1);
        QCOMPARE(box.currentText(), QStringLiteral("COM 1"));
        QCOMPARE(box.EntryState(0), psInUse);
        box.OnClick = [&](TSioPortComboBox* sender) {
            events << QStringLiteral("click %1").arg(sender->SelectedComNumber());
        };
        box.OnChange = [&](TSioPortComboBox* sender) {
            QCOMPARE(sender, &box);
            events << QStringLiteral("change %1 on port %2")
                          .arg(sender->SelectedComNumber())
                          .arg(SioComPort1.ComNumber());
        };

        TrappedErrors errors;
        pick(box, 1);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(events, (QStringList{"click 1", "change 3 on port 1", "close 1", "open 3"}));
        QVERIFY(SioComPort1.IsOpen());
        QCOMPARE(SioComPort1.ComNumber(), std::uint16_t(3));
        // Fresh states with the pick shown.
        const std::vector<Entry> expected = {{"COM 1", tag(psFree, 1)}, {"COM 3", tag(psInUse, 3)}};
        QVERIFY2(entries(box) == expected, qPrintable(describe(entries(box))));
        QCOMPARE(box.currentText(), QStringLiteral("COM 3"));
        SioComPort1.Close();
    }

    void aFailedReopenIsReportedAfterTheListIsRebuilt() {
        PtyPair one, three;
        FlockHolder otherProgram(three.path);
        useMap({{1, one.path}, {3, three.path}});
        TSioComPort SioComPort1;
        SioComPort1.SetComNumber(1);
        SioComPort1.Open();
        TSioPortComboBox box;
        box.SetMaxComPorts(24);
        box.SetComPort(&SioComPort1);

        TrappedErrors errors;
        pick(box, 1);
        QCOMPARE(errors.texts, QStringList{"Can't open device COM3"});
        QVERIFY(!SioComPort1.IsOpen());
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(3));
        const std::vector<Entry> expected = {{"COM 1", tag(psFree, 1)}, {"COM 3", tag(psInUse, 3)}};
        QVERIFY2(entries(box) == expected, qPrintable(describe(entries(box))));
        QCOMPARE(box.currentText(), QStringLiteral("COM 3"));
    }

    void portQuantityOnAllThreePickers() {
        PtyPair one, high;
        useMap({{1, one.path}, {250, high.path}});
        QWidget window;
        TSioPortComboBox SioPortComboBox1(&window), SioPortComboBox2(&window),
            SioPortComboBox3(&window);
        SioPortComboBox2.SetColor(Qt::yellow);
        SioPortComboBox3.SetColor(QToolTip::palette().color(QPalette::ToolTipBase));
        const std::array<TSioPortComboBox*, 3> pickers = {&SioPortComboBox1, &SioPortComboBox2,
                                                          &SioPortComboBox3};
        for (auto* p : pickers) p->SetOptions(pcCheckExist | pcHighlightOpen);
        SioPortComboBox1.SetSelectedComNumber(1);
        window.show();

        const QColor infoTip = QToolTip::palette().color(QPalette::ToolTipBase);
        const QColor windowColour = QApplication::palette().color(QPalette::Base);
        QVERIFY(infoTip != windowColour);
        struct Step {
            bool upTo255;
            std::int16_t max;
            QColor colour;
            bool listsCom250;
        } steps[] = {{true, 255, infoTip, true}, {false, 24, windowColour, false}};
        for (const auto& s : steps) {
            SelectCommPortQuantity(pickers, s.upTo255, &window);
            for (auto* p : pickers) {
                QCOMPARE(p->MaxComPorts(), s.max);
                QCOMPARE(p->Color(), s.colour);
                QCOMPARE(p->palette().color(QPalette::Button), s.colour);
                QCOMPARE(p->findText(QStringLiteral("COM 250")) >= 0, s.listsCom250);
                QCOMPARE(p->itemText(0), QStringLiteral("COM 1"));
                QCOMPARE(p->currentIndex(), -1);
                QVERIFY(p->isEnabled());
            }
            QCOMPARE(SioPortComboBox1.SelectedComNumber(), std::uint16_t(1));
        }
    }

    void statusReportInTheMemo() {
        PtyPair one, three;
        FlockHolder otherProgram(three.path);
        useMap({{1, one.path}, {3, three.path}});
        QPlainTextEdit Memo1;
        Memo1.setPlainText(QStringLiteral("an earlier report"));
        TXComm XComm1;
        ActionCheckCommPortsExecute(Memo1, XComm1, false);

        const QStringList lines = Memo1.toPlainText().split(QLatin1Char('\n'));
        const QString sep =
            QStringLiteral("- - - - - - - - - - - - - - - - - - - - - - - - - - - -");
        QCOMPARE(lines.size(), 4 + 3 + 1 + 3 + 21);
        QCOMPARE(lines[0], QStringLiteral("Your OS is:"));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Linux Version ")), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(QStringLiteral(" (Build ")) && lines[2].endsWith(')'),
                 qPrintable(lines[2]));
        const QStringList ports = lines.mid(3);
        QStringList expected{sep,
                             "Com1 found/present on this computer",
                             "Com1 will glad to be opened for You!",
                             sep,
                             "Com2 Not found",
                             "Com3 found/present on this computer",
                             "Failed to open device...  Cannot open device Com3....   Com3 has "
                             "been opened and already in use",
                             sep};
        for (int n = 4; n <= 24; ++n) expected << QStringLiteral("Com%1 Not found").arg(n);
        QCOMPARE(ports, expected);
        QVERIFY(!XComm1.IsOpen());
    }
};

QTEST_MAIN(DiscoveryWindowTest)
#include "discovery_window_test.moc"
