// What a board on the line feels while the operator only looks: the window and its port pickers
// over pseudo-terminals, with every open of each device counted by inotify.

#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "shell/PortControl.h"
#include "shell/TfrmMain.h"
#include "support/OpenCounter.h"
#include "support/TestKit.h"
#include "unit/discovery/DiscoveryFixture.h"

using namespace keldrin;
using namespace keldrin::serial;
using namespace keldrin::serial::testing;
using keldrin::testkit::OpenCounter;

class PortOpensTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;

  private slots:
    void init() { testkit::enterSandbox(seams, folder); }
    void cleanup() {
        testkit::leaveSandbox(seams, folder);
        useMap({});
    }

    void buildingTheWindowOpensNoPort() {
        PtyPair one, two, three;
        useMap({{1, one.path}, {2, two.path}, {3, three.path}});
        OpenCounter opens({one.path, two.path, three.path});
        QVERIFY(opens.ok());
        {
            TfrmMain w(QStringList{"keldrin"});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            // The pickers did look: they list the three ports.
            QCOMPARE(w.SioPortComboBox3->count(), 3);
            QCOMPARE(w.SioPortComboBox3->EntryState(1), psFree);
            for (const auto& [device, n] : opens.opens()) QVERIFY2(n == 0, device.c_str());

            // Dropping a list down looks again, and opens nothing either.
            w.SioPortComboBox2->showPopup();
            QVERIFY(w.SioPortComboBox2->view()->isVisible());
            w.SioPortComboBox2->hidePopup();
            QCOMPARE(opens.total(), 0);

            // The status report is the operator's explicit test: each present port opened once.
            w.portControl->ActionCheckCommPortsExecute();
            QVERIFY(w.Memo1->toPlainText().contains("Com2 will glad to be opened for You!"));
            for (const auto& [device, n] : opens.opens()) QVERIFY2(n == 1, device.c_str());
        }
    }

    void dropDownShowsFreshStatesWithoutOpening() {
        PtyPair free, locked, named, stale, keptOpen;
        useMap({{1, free.path},
                {2, locked.path},
                {3, named.path},
                {4, stale.path},
                {5, keptOpen.path},
                {6, "/dev/serial/by-id/usb-unplugged-if00-port0"}});
        TSioPortComboBox box;
        box.SetOptions(pcCheckExist | pcHighlightOpen);
        box.SetMaxComPorts(24);
        box.SetSelectedComNumber(4);
        QCOMPARE(box.count(), 5);
        for (int i = 0; i < box.count(); ++i) QCOMPARE(box.EntryState(i), psFree);

        // Other programs take ports after the list was built.
        HoldingProcess picocom(locked.path, true), minicom, screen(keptOpen.path);
        QVERIFY(picocom.ok && minicom.ok && screen.ok);
        UucpLockFile live("/run/lock", named.path, minicom.pid);
        UucpLockFile dead("/run/lock", stale.path, deadPid());
        QVERIFY2(live.ok() && dead.ok(), "/run/lock must be writable");

        OpenCounter opens({free.path, locked.path, named.path, stale.path, keptOpen.path});
        QVERIFY(opens.ok());
        box.resize(200, 30);
        box.show();
        box.showPopup();
        QVERIFY(box.view()->isVisible());
        const TSioPortState expected[] = {psFree, psInUse, psInUse, psFree, psInUse};
        QCOMPARE(box.count(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(box.EntryNumber(i), std::uint16_t(i + 1));
            QCOMPARE(box.EntryState(i), expected[i]);
        }
        QCOMPARE(box.currentText(), QStringLiteral("COM 4"));  // the shown entry stays
        QCOMPARE(box.SelectedComNumber(), std::uint16_t(4));
        box.hidePopup();
        for (const auto& [device, n] : opens.opens()) QVERIFY2(n == 0, device.c_str());
    }
};

QTEST_MAIN(PortOpensTest)
#include "port_opens_test.moc"
