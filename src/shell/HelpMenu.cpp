#include "shell/HelpMenu.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/EventPump.h"
#include "platform/Seams.h"
#include "shell/HelpTexts.h"
#include "shell/TfrmAbout.h"

namespace keldrin {

HelpMenu::HelpMenu(TfrmAbout* about, QObject* parent) : QObject(parent), about_(about) {}

void HelpMenu::About1Click() {
    platform::Beep(560, 50);
    PumpOnce();
    platform::Beep(480, 50);
    PumpOnce();
    about_->exec();
}

void HelpMenu::Versions1Click() {
    platform::InfoBox(VersionHistoryText());
}

void HelpMenu::OpenApplicationFolder1Click() {
    // The folder that holds the program's files; whether a file manager came up is not told.
    QDesktopServices::openUrl(QUrl::fromLocalFile(platform::programFolder() + QLatin1Char('/')));
}

}  // namespace keldrin
