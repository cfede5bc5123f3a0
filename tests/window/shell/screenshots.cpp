// Renders the main window offscreen in each mode and with each page in front, into the folder
// given as the first argument (docs/screenshots by default, see scripts/screenshots.sh), with
// the About and Versions boxes; a second argument names the PNG file of the 256-pixel icon.

#include <QDir>
#include <QMessageBox>
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
#include "widgets/AppIcon.h"

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
    for (int i = 0; i < w.pcMain_PageControl->count(); ++i) {
        w.pcMain_PageControl->setCurrentIndex(i);
        QString name = w.pcMain_PageControl->tabText(i).toLower();
        name.replace(QLatin1Char(' '), QLatin1Char('-'));
        ok &= save(QStringLiteral("page-") + name);
    }
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
