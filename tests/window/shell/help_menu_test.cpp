// The Help menu: the About box with its version text from the program file, its tones and its
// "Cancel" box, and the version history.

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>

#include "platform/FakeSeams.h"
#include "shell/Application.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmMain.h"
#include "support/ElfNote.h"
#include "support/TestKit.h"
#include "widgets/WaveAnimator.h"

using namespace keldrin;

namespace {

void writeProgram(const QString& path, const QByteArray& data, const QDateTime& lastWrite) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
    QVERIFY(f.flush());  // a later write would set the time again
    QVERIFY(f.setFileTime(lastWrite, QFileDevice::FileModificationTime));
}

}  // namespace

class HelpMenuTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;
    QString program;

    // Chooses "About" and runs `whileOpen` once the box is up; the box is closed with
    // "Thanks! " afterwards, whatever `whileOpen` did.
    void chooseAbout(const std::function<void()>& whileOpen) {
        bool ran = false;
        // The tones pump events before the box comes up: look again until it is there.
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, w.get(), [&] {
            if (!w->frmAbout->isVisible()) return;
            poll.stop();
            ran = true;
            whileOpen();
            if (w->frmAbout->isVisible()) w->frmAbout->BitBtn1->click();
        });
        poll.start();
        w->About1->trigger();
        QVERIFY(ran);
        QVERIFY(!w->frmAbout->isVisible());
    }

  private slots:
    void init() {
        testkit::enterSandbox(seams, folder);
        program = folder->filePath("keldrin");
        platform::setProgramPath(program);
        w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->show();
    }
    void cleanup() {
        w.reset();
        platform::setProgramPath(QString());
        testkit::leaveSandbox(seams, folder);
    }

    void aboutPlaysTwoTonesThenShowsTheVersionOfTheProgramFile() {
        writeProgram(program,
                     testkit::elfWithNotes(testkit::versionNote(4, 0, 7, 420, "Keldrin"), 4096),
                     QDateTime(QDate(2025, 3, 5), QTime(7, 4, 9), Qt::UTC));
        QString shown;
        std::vector<platform::Tone> tonesBefore;
        bool modal = false;
        bool animating = false;
        chooseAbout([&] {
            shown = w->frmAbout->Version->text();
            tonesBefore = seams->tones->played;
            modal = w->frmAbout->isModal() && QApplication::activeModalWidget() == w->frmAbout;
            animating = w->frmAbout->RxGIFAnimator1->isAnimating();
        });
        QCOMPARE(shown, QStringLiteral(
                            "Version: 4.0\r\n(Build: 420)  Release: 7\r\nFileSize: 4096 bytes \r\n"
                            "3/5/25 7:04:09 AM UTC"));
        QVERIFY((tonesBefore == std::vector<platform::Tone>{{560, 50}, {480, 50}}));
        QVERIFY(modal);
        QVERIFY(animating);
        QVERIFY(!w->frmAbout->RxGIFAnimator1->isAnimating());  // hidden, it rests
        // The box keeps its design: caption, size, title, motto, buttons.
        QCOMPARE(w->frmAbout->windowTitle(), QStringLiteral("About"));
        QCOMPARE(w->frmAbout->size(), QSize(209, 279));
        QCOMPARE(w->frmAbout->lblApplicationTitle->text(), QStringLiteral("Keldrin"));
        QVERIFY(w->frmAbout->lblApplicationTitle->font().bold());
        QVERIFY(!w->frmAbout->Image1->pixmap().isNull());
        QCOMPARE(w->frmAbout->Label1->text(),
                 QStringLiteral("Program the way you think, not the way that things happen"));
        QCOMPARE(w->frmAbout->BitBtn1->text(), QStringLiteral("Thanks! "));
        QCOMPARE(w->frmAbout->BitBtn1->toolTip(), QStringLiteral("Really T h a n k s ! ! !"));
        QCOMPARE(w->frmAbout->BitBtn2->text(), QStringLiteral("Cancel"));
        QVERIFY(seams->boxes->shown.empty());
    }

    void theTextFollowsTheFileEachTimeAndZerosWithoutARecord() {
        writeProgram(program,
                     testkit::elfWithNotes(testkit::versionNote(4, 0, 7, 420, "Keldrin"), 5000),
                     QDateTime(QDate(2026, 12, 1), QTime(23, 59, 58), Qt::UTC));
        QString first, second;
        chooseAbout([&] { first = w->frmAbout->Version->text(); });
        // A program file replaced by one without a version record.
        writeProgram(program, QByteArray(1234, 'x'),
                     QDateTime(QDate(2026, 12, 2), QTime(0, 0, 1), Qt::UTC));
        chooseAbout([&] { second = w->frmAbout->Version->text(); });
        QCOMPARE(first, QStringLiteral("Version: 4.0\r\n(Build: 420)  Release: 7\r\nFileSize: 5000 "
                                       "bytes \r\n12/1/26 11:59:58 PM UTC"));
        QCOMPARE(second, QStringLiteral("Version: 0.0\r\n(Build: 0)  Release: 0\r\nFileSize: 1234 "
                                        "bytes \r\n12/2/26 12:00:01 AM UTC"));
        QCOMPARE(seams->tones->played.size(), size_t(4));
    }

    void cancelShowsTheProgramsOwnBoxAndTheAboutBoxStaysOpen() {
        writeProgram(program, testkit::elfWithNotes(testkit::versionNote(4, 0, 7, 420, "Keldrin")),
                     QDateTime::currentDateTimeUtc());
        bool openAfterCancel = false;
        chooseAbout([&] {
            w->frmAbout->BitBtn2->click();
            openAfterCancel = w->frmAbout->isVisible();
        });
        QVERIFY(openAfterCancel);
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        const auto& box = seams->boxes->shown.front();
        QCOMPARE(box.icon, platform::BoxIcon::About);
        QCOMPARE(box.title, QStringLiteral("Keldrin"));
        QCOMPARE(box.text, QStringLiteral("Version: 4.0 (Build: 420)\r\nRelease: 7"));

        // Without a record: zeros and no name.
        writeProgram(program, "#!/bin/sh\n", QDateTime::currentDateTimeUtc());
        chooseAbout([&] { w->frmAbout->BitBtn2->click(); });
        QCOMPARE(seams->boxes->shown.back().title, QString());
        QCOMPARE(seams->boxes->shown.back().text,
                 QStringLiteral("Version: 0.0 (Build: 0)\r\nRelease: 0"));
    }

    void theBuiltProgramShowsItsOwnVersion() {
        platform::setProgramPath(KELDRIN_PATH);
        QString shown;
        chooseAbout([&] { shown = w->frmAbout->Version->text(); });
        QVERIFY2(shown.startsWith(QStringLiteral("Version: 4.0\r\n(Build: 420)  Release: 7\r\n"
                                                 "FileSize: %1 bytes \r\n")
                                      .arg(QFileInfo(KELDRIN_PATH).size())),
                 qPrintable(shown));
    }

    void versionsShowsTheHistoryByteForByte() {
        w->Versions1->trigger();
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        const auto& box = seams->boxes->shown.front();
        QCOMPARE(box.icon, platform::BoxIcon::Information);
        const QString expected = QStringLiteral(
            "Version log (from my mind):\r\n"
            "\r\n"
            "4.0  - 20-03-2016, version 3.5\r\n"
            "3.5  - 03-03-2015, version 3.3 + CS issue correction\r\n"
            "3.04  - 25-02-2015, version 3.03 as is, just MAX Comm Port=254\r\n"
            "3.3  - 17-09-2014, option to select a Max CommPort Number\r\n"
            "3.27  - 12-05-2014, interface changes\r\n"
            "3.2   - 10-01-2012, added Bypass \"Wrong Answer\"\r\n"
            "3.16 - 07-07-2011, interface changes\t\r\n"
            "3.15 - 17-02-2011, added support to partial path of files\r\n"
            "3.03 - 29-07-2010, sends BIN(\"@\") or HEX(\":\") char first\r\n"
            "3.02 - 21-03-2010, added BIN support\r\n"
            "3.01 - 16-03-2010, interface changes\r\n"
            "2.93 - 16-02-2010, interface changes\r\n"
            "2.92 - 24-01-2010, interface changes\r\n"
            "2.9  - 29-10-2009, parallel programming (up to 8), stable version\r\n"
            "2.8  - 18-10-2009, COMMports number enlarged to 24\r\n"
            "2.7  - 17-09-2009, parallel programming (up to 2)\r\n"
            "2.6  - 15-09-2009, command line support\r\n"
            "2.5  - 10-09-2009, interface changes\r\n"
            "2.4  - 23-06-2009, interface changes, stable version\r\n"
            "2.3  - 29-01-2009, dynamically calculates needed CS");
        QCOMPARE(box.text, expected);
        QCOMPARE(box.text.split(QStringLiteral("\r\n")).size(), 22);
        QVERIFY(seams->tones->played.empty());
    }
};

int main(int argc, char** argv) {
    // Dates and times as an American desktop in UTC shows them, so the texts are known.
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Application app(argc, argv);
    HelpMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "help_menu_test.moc"
