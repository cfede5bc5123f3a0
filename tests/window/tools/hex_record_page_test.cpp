#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <vector>

#include "platform/FakeSeams.h"
#include "tools/HexRecordPage.h"

using namespace keldrin;
using platform::Tone;

// Receives the URLs that QDesktopServices would hand to a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

class HexRecordPageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QWidget> sheet;
    HexRecordPage* page = nullptr;

    static QString shown(const QLineEdit* field) { return field->displayText(); }

    // Types into the field as the user would: key events through the page's key filter.
    static void type(QLineEdit* field, const QString& keys) {
        field->setFocus();
        field->setCursorPosition(0);
        for (QChar c : keys) {
            // Qt's key codes for Latin-1 characters are those of their upper-case forms.
            const auto code = Qt::Key(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Click, field, code, QString(c), Qt::NoModifier);
        }
    }

    void setRecord(const char* record) { page->edHexCommand->setText(QString::fromLatin1(record)); }

    std::vector<Tone>& tones() { return seams->tones->played; }

  private slots:
    void init() {
        seams = std::make_unique<platform::FakeSeams>();
        sheet = std::make_unique<QWidget>();
        sheet->resize(880, 480);
        page = new HexRecordPage(sheet.get());
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
    }

    void cleanup() {
        sheet.reset();
        seams.reset();
    }

    void controlsCarryTheirNamesCaptionsAndHints() {
        const struct {
            const char* name;
            QWidget* widget;
        } named[] = {
            {"mskEd_ByteCount", page->mskEd_ByteCount},
            {"mskEd_Addr", page->mskEd_Addr},
            {"mskEd_RecType", page->mskEd_RecType},
            {"mskEd_Data", page->mskEd_Data},
            {"mskEd_CS", page->mskEd_CS},
            {"edHexCommand", page->edHexCommand},
            {"BitBtn1", page->BitBtn1},
            {"BitBtn2", page->BitBtn2},
            {"BitBtn3", page->BitBtn3},
            {"JvLabel3", page->JvLabel3},
            {"JvLabel4", page->JvLabel4},
            {"JvLabel5", page->JvLabel5},
            {"JvLabel6", page->JvLabel6},
            {"JvLabel7", page->JvLabel7},
            {"Label2", page->Label2},
        };
        for (const auto& n : named) {
            QCOMPARE(sheet->findChild<QWidget*>(QString::fromLatin1(n.name)), n.widget);
        }
        QCOMPARE(page->Action_DoCS->objectName(), QStringLiteral("Action_DoCS"));
        QCOMPARE(page->parent(), sheet.get());

        QCOMPARE(page->JvLabel3->text(), QStringLiteral("Byte count"));
        QCOMPARE(page->JvLabel4->text(), QStringLiteral("Address"));
        QCOMPARE(page->JvLabel5->text(), QStringLiteral("Record type"));
        QCOMPARE(page->JvLabel6->text(), QStringLiteral("D A T A"));
        QCOMPARE(page->JvLabel7->text(), QStringLiteral("Checksum"));
        QCOMPARE(page->BitBtn1->text(), QStringLiteral("Action_DoCS"));
        QCOMPARE(page->BitBtn2->text(), QStringLiteral("BitBtn2"));
        QCOMPARE(page->BitBtn3->text(), QStringLiteral("BitBtn3"));
        QCOMPARE(page->Label2->text(),
                 QStringLiteral("For more info about Intel HEX file format, please, click here"));
        QCOMPARE(page->Label2->toolTip(), QStringLiteral("Go to the WEB site ..."));
        QCOMPARE(
            page->mskEd_RecType->toolTip(),
            QStringLiteral(
                "Record type, two hex digits, 00 to 05, defining the type of the data field."));
        QCOMPARE(
            page->mskEd_Data->toolTip(),
            QStringLiteral("Data, a sequence of n bytes of the data themselves. 2n hex digits"));
        QVERIFY(page->mskEd_CS->toolTip().contains(QStringLiteral(":0300300002337A1E")));

        QCOMPARE(page->edHexCommand->text(), QStringLiteral("edHexCommand"));
        QCOMPARE(shown(page->mskEd_ByteCount), QStringLiteral("__"));
        QCOMPARE(shown(page->mskEd_Addr), QStringLiteral("__-__"));
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("__-__-__-__-__-__"));
        QVERIFY(page->mskEd_Data->isEnabled());
        QCOMPARE(HexRecordPage::fieldText(page->mskEd_ByteCount), QByteArray("  "));
    }

    void keyFilterLetsHexDigitsThroughAndRefusesTheRestWithTwoTones() {
        const std::vector<Tone> refusedTones = {{660, 100}, {560, 100}};
        const std::vector<Tone> defaultBeep = {{0, 0}};
        const struct {
            QLineEdit* field;
            QString key;
            QString shownAfter;
            std::vector<Tone> tones;
        } cases[] = {
            {page->mskEd_ByteCount, "a", "A_", defaultBeep},
            {page->mskEd_Addr, "f", "F_-__", defaultBeep},
            {page->mskEd_RecType, "7", "7_", defaultBeep},
            {page->mskEd_Data, "E", "E_-__-__-__-__-__", defaultBeep},
            {page->mskEd_CS, "0", "0_", defaultBeep},
            {page->mskEd_ByteCount, "g", "__", refusedTones},
            {page->mskEd_Addr, "G", "__-__", refusedTones},
            {page->mskEd_Data, "z", "__-__-__-__-__-__", refusedTones},
            {page->mskEd_CS, "-", "__", refusedTones},
            {page->mskEd_RecType, "_", "__", refusedTones},
            {page->mskEd_RecType, " ", "__", refusedTones},
            {page->mskEd_CS, QString(QChar(0xE9)), "__", refusedTones},
            // Let through by the filter, refused by the mask: the beep, but no character.
            {page->mskEd_ByteCount, ":", "__", defaultBeep},
            {page->mskEd_Addr, "@", "__-__", defaultBeep},
            {page->mskEd_CS, "\"", "__", defaultBeep},
        };
        for (const auto& c : cases) {
            // The data field takes keys only while the count asks for data.
            page->mskEd_ByteCount->setText(QStringLiteral("06"));
            c.field->clear();
            tones().clear();
            type(c.field, c.key);
            QCOMPARE(shown(c.field), c.shownAfter);
            QVERIFY2(tones() == c.tones, qPrintable(c.field->objectName() + " key " + c.key));
        }
    }

    void editingKeysKeepWorkingWithoutTones() {
        type(page->mskEd_Addr, "12ab");
        QCOMPARE(shown(page->mskEd_Addr), QStringLiteral("12-AB"));
        tones().clear();
        QTest::keyClick(page->mskEd_Addr, Qt::Key_Backspace);
        QCOMPARE(shown(page->mskEd_Addr), QStringLiteral("12-A_"));
        QTest::keyClick(page->mskEd_Addr, Qt::Key_Home);
        QTest::keyClick(page->mskEd_Addr, Qt::Key_Delete);
        QCOMPARE(shown(page->mskEd_Addr), QStringLiteral("_2-A_"));
        QVERIFY(tones().empty());
    }

    void dataFieldFollowsTheByteCount() {
        const struct {
            const char* count;
            bool enabled;
            int pairs;
        } cases[] = {
            {"03", true, 3},  {"01", true, 1}, {"10", true, 16}, {"FF", true, 255},
            {"00", false, 0}, {"", false, 0},  {"0G", false, 0}, {"3", false, 0},
        };
        for (const auto& c : cases) {
            page->mskEd_ByteCount->setText(QString::fromLatin1(c.count));
            QVERIFY2(page->mskEd_Data->isEnabled() == c.enabled, c.count);
            if (c.enabled) {
                QCOMPARE(shown(page->mskEd_Data).size(), 3 * c.pairs - 1);
                QCOMPARE(shown(page->mskEd_Data).count(QLatin1Char('-')), c.pairs - 1);
            }
        }
        // Typed in as the user does it.
        page->mskEd_ByteCount->clear();
        QVERIFY(!page->mskEd_Data->isEnabled());
        type(page->mskEd_ByteCount, "02");
        QVERIFY(page->mskEd_Data->isEnabled());
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("__-__"));
    }

    void reshapingTheDataFieldKeepsWhatItHolds() {
        type(page->mskEd_ByteCount, "03");
        type(page->mskEd_Data, "02337A");
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02-33-7A"));
        page->mskEd_Data->setCursorPosition(4);
        QTest::keyClick(page->mskEd_Data, Qt::Key_Backspace);  // empties the 3 of 33
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02-_3-7A"));
        page->mskEd_Data->setCursorPosition(8);
        QTest::keyClick(page->mskEd_Data, Qt::Key_Backspace);  // empties the A of 7A
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02-_3-7_"));

        type(page->mskEd_ByteCount, "05");
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02-_3-7_-__-__"));
        page->mskEd_ByteCount->setText(QStringLiteral("00"));
        QVERIFY(!page->mskEd_Data->isEnabled());
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02-_3-7_-__-__"));
        type(page->mskEd_ByteCount, "01");
        QCOMPARE(shown(page->mskEd_Data), QStringLiteral("02"));
    }

    void splitAndAssembleRoundTrip() {
        const struct {
            const char* record;
            const char* count;
            const char* address;
            const char* type;
            const char* data;
            const char* checksum;
            const char* assembled;
        } cases[] = {
            {":0300300002337A1E", "03", "00-30", "00", "02-33-7A", "1E", ":0300300002337A1E"},
            // The checksum given in the text is replaced, never compared.
            {":0300300002337A00", "03", "00-30", "00", "02-33-7A", "1E", ":0300300002337A1E"},
            // The record the runner builds from the expected checksum ABCD.
            {":0300000312ABCD", "03", "00-00", "03", "12-AB-CD", "70", ":0300000312ABCD70"},
            {":00000001FF", "00", "00-00", "01", nullptr, "FF", ":00000001FF"},
            {":0100000041", "01", "00-00", "00", "41", "BE", ":0100000041BE"},
            {":03003000", "03", "00-30", "00", "__-__-__", "CD", ":03003000      CD"},
        };
        for (const auto& c : cases) {
            setRecord(c.record);
            page->BitBtn2Click();
            QCOMPARE(shown(page->mskEd_ByteCount), QString::fromLatin1(c.count));
            QCOMPARE(shown(page->mskEd_Addr), QString::fromLatin1(c.address));
            QCOMPARE(shown(page->mskEd_RecType), QString::fromLatin1(c.type));
            QCOMPARE(page->mskEd_Data->isEnabled(), c.data != nullptr);
            if (c.data) QCOMPARE(shown(page->mskEd_Data), QString::fromLatin1(c.data));
            QCOMPARE(shown(page->mskEd_CS), QString::fromLatin1(c.checksum));
            page->BitBtn3Click();
            QCOMPARE(page->edHexCommand->text(), QString::fromLatin1(c.assembled));
        }
    }

    void buttonsRunTheirOperations() {
        setRecord(":0300000312ABCD");
        QTest::mouseClick(page->BitBtn2, Qt::LeftButton);
        QCOMPARE(shown(page->mskEd_CS), QStringLiteral("70"));
        QTest::mouseClick(page->BitBtn3, Qt::LeftButton);
        QCOMPARE(page->edHexCommand->text(), QStringLiteral(":0300000312ABCD70"));

        // Action_DoCS through its button: an all-zero record has the checksum 00.
        page->mskEd_ByteCount->setText(QStringLiteral("00"));
        page->mskEd_Addr->setText(QStringLiteral("0000"));
        page->mskEd_RecType->setText(QStringLiteral("00"));
        QTest::mouseClick(page->BitBtn1, Qt::LeftButton);
        QCOMPARE(shown(page->mskEd_CS), QStringLiteral("00"));
        page->Action_DoCS->setEnabled(false);
        QVERIFY(!page->BitBtn1->isEnabled());
        page->Action_DoCS->setEnabled(true);
        QVERIFY(page->BitBtn1->isEnabled());
        QVERIFY(tones().empty());
    }

    void checksumOfPartlyFilledFields() {
        type(page->mskEd_ByteCount, "02");
        type(page->mskEd_Addr, "1234");
        type(page->mskEd_RecType, "00");
        type(page->mskEd_Data, "AB");  // the second pair left empty adds nothing
        page->Action_DoCSExecute();
        QCOMPARE(shown(page->mskEd_CS), QStringLiteral("0D"));  // 02+12+34+00+AB = F3
        // The record is assembled as the fields stand, the empty pair as blanks.
        page->BitBtn3Click();
        QCOMPARE(page->edHexCommand->text(), QStringLiteral(":02123400AB  0D"));
    }

    void dataLeftInADisabledFieldIsNoPartOfTheRecord() {
        setRecord(":0300300002337A1E");
        page->BitBtn2Click();
        page->mskEd_ByteCount->setText(QStringLiteral("00"));
        page->Action_DoCSExecute();
        QCOMPARE(shown(page->mskEd_CS), QStringLiteral("D0"));  // 00+00+30+00
        page->BitBtn3Click();
        QCOMPARE(page->edHexCommand->text(), QStringLiteral(":00003000D0"));
    }

    void checksumKeepsTheWindowAlive() {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        setRecord(":0300300002337A");
        page->BitBtn2Click();
        QVERIFY(ran);
    }

    void label2OpensTheReferencePage() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QTest::mouseClick(page->Label2, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.front(), HexRecordPage::referenceUrl());
        QVERIFY(catcher.urls.front().toString().contains(QStringLiteral("Intel_HEX")));
        QVERIFY(seams->boxes->shown.empty());
    }

    void label2SaysSoWhenNoBrowserCanBeStarted() {
        // The headless platform has no way to open a URL; anywhere else a browser would start.
        if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
            QSKIP("needs the offscreen platform");
        }
        page->Label2Click();
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        QCOMPARE(seams->boxes->shown.front().icon, platform::BoxIcon::Error);
        QVERIFY(
            seams->boxes->shown.front().text.contains(HexRecordPage::referenceUrl().toString()));
    }

    void completesEveryRecordOfAFileWrittenBySrecCat() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QByteArray firmware(700, '\0');
        for (int i = 0; i < firmware.size(); ++i) firmware[i] = char((i * 37 + 11) & 0xFF);
        QFile bin(dir.filePath("fw.bin"));
        QVERIFY(bin.open(QIODevice::WriteOnly));
        bin.write(firmware);
        bin.close();
        QProcess srec;
        srec.start("srec_cat", {dir.filePath("fw.bin"), "-binary", "-offset", "0xFF00", "-o",
                                dir.filePath("fw.hex"), "-intel"});
        QVERIFY(srec.waitForFinished(30000));
        QCOMPARE(srec.exitCode(), 0);
        QFile hex(dir.filePath("fw.hex"));
        QVERIFY(hex.open(QIODevice::ReadOnly));
        int records = 0;
        for (QByteArray line : hex.readAll().split('\n')) {
            line = line.trimmed();
            if (line.isEmpty()) continue;
            // Without its checksum, as the runner hands records over.
            setRecord(line.left(line.size() - 2).constData());
            page->BitBtn2Click();
            page->BitBtn3Click();
            QCOMPARE(page->edHexCommand->text().toLatin1(), line);
            ++records;
        }
        QVERIFY(records > 10);
    }
};

QTEST_MAIN(HexRecordPageTest)
#include "hex_record_page_test.moc"
