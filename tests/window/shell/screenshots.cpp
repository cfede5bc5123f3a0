// Renders the main window offscreen in each mode and with each page in front, into the folder
// given as the first argument (docs/screenshots by default, see scripts/screenshots.sh), with
// the About and Versions boxes; a second argument names the PNG file of the 256-pixel icon.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "shell/Application.h"
#include "shell/HelpTexts.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmMain.h"
#include "terminal/CommunicationPage.h"
#include "tools/CalculationsPage.h"
#include "tools/HexEditorPage.h"
#include "tools/NumberBaseEdit.h"
#include "widgets/AppIcon.h"
#include "widgets/ByteLinesView.h"
#include "widgets/HexView.h"
#include "widgets/RadioGroup.h"

using namespace keldrin;

int main(int argc, char** argv) {
    Application app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    platform::FakeSeams seams;
    QTemporaryDir home;
    platform::setProgramFolder(home.path());

    TfrmMain w({QStringLiteral("keldrin")});
    w.show();
    QTest::qWait(50);
    auto save = [&](const QString& name) {
        QTest::qWait(20);
        const bool ok = w.grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png"));
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(name));
        return ok;
    };
    bool ok = save(QStringLiteral("mode-default"));
    w.mnuSimplifiedClick();
    ok &= save(QStringLiteral("mode-simplified"));
    w.mnuAdvancedModeClick();
    ok &= save(QStringLiteral("mode-advanced"));
    // The converter and the hex view with something in them.
    w.calculations->MemoHEXA->setPlainText(QStringLiteral("4b,65,6c,64,72,69,6e,21,0!"));
    w.calculations->btnDoASCIIClick();
    w.calculations->RadioGroup2->setItemIndex(1);
    w.hexEditor->openFile(QStringLiteral(EXAMPLES_DIR "/board.hex"));
    w.hexEditor->MPHexEditorEx1->setCaret(0x42);
    w.hexEditor->MPHexEditorEx1->setCaret(0x51, true);
    w.hexEditor->MPHexEditorEx1->showFind();
    w.hexEditor->MPHexEditorEx1->findBox()->setText(QStringLiteral(":10"));
    for (int i = 0; i < w.pcMain_PageControl->count(); ++i) {
        w.pcMain_PageControl->setCurrentIndex(i);
        QString name = w.pcMain_PageControl->tabText(i).toLower();
        name.replace(QLatin1Char(' '), QLatin1Char('-'));
        ok &= save(QStringLiteral("page-") + name);
    }
    // Received lines with control characters, without and with "Show Special Chars".
    w.pcMain_PageControl->setCurrentIndex(w.tabIndexOf(QStringLiteral("Communication")));
    w.communication->SynEditReceiving->setLines(
        {QByteArrayLiteral("Receiving Window"), QByteArrayLiteral("KELDRIN-SIM 1.0\r\nOK\r\n"),
         QByteArray("col 1\tcol 2\0\x1b[0m\r\n", 18), QByteArrayLiteral("CHECKSUM:7B5F\r\n")});
    w.communication->SynEditSending->setPlainText(QStringLiteral("ID!\nE!\tsecond line"));
    ok &= save(QStringLiteral("receive-special-chars-off"));
    w.communication->chkBox_ShowSpecialChars->click();
    ok &= save(QStringLiteral("receive-special-chars-on"));
    w.communication->chkBox_ShowSpecialChars->click();
    // The sample project loaded, as an engineer sees it.
    seams.dialogs->answers.push_back(QStringLiteral(EXAMPLES_DIR "/board.cmd"));
    w.SpeedButtonLoad->click();
    w.SpeedButton_Resize->setChecked(true);
    w.SpeedButton_ResizeClick();
    w.pcMain_PageControl->setCurrentIndex(w.tabIndexOf(QStringLiteral("Project")));
    ok &= save(QStringLiteral("project-loaded"));
    // The Help menu's boxes: About (for the built program) and Versions.
    platform::setProgramPath(QStringLiteral(KELDRIN_PATH));
    w.frmAbout->show();
    QTest::qWait(200);  // a few frames of the animation
    ok &= w.frmAbout->grab().save(out + QStringLiteral("/about.png"));
    w.frmAbout->hide();
    QMessageBox versions(QMessageBox::Information, QStringLiteral("Keldrin"), VersionHistoryText(),
                         QMessageBox::Ok);
    versions.show();
    QTest::qWait(50);
    ok &= versions.grab().save(out + QStringLiteral("/versions.png"));
    versions.hide();
    // The 256-pixel icon installed beside the SVG.
    if (argc > 2) ok &= AppIconImage(256).save(QString::fromLocal8Bit(argv[2]));
    w.close();
    return ok ? 0 : 1;
}
