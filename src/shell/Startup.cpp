#include "shell/Startup.h"

#include <cstdio>

#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/CommandLine.h"
#include "runner/ProductionFlow.h"
#include "shell/Application.h"
#include "shell/TfrmMain.h"

namespace keldrin {

int runProgram(Application& app) {
    Application::setApplicationName(QStringLiteral("Keldrin"));
    platform::setApplicationTitle(QStringLiteral("Keldrin"));
    const QStringList arguments = Application::arguments();

    TfrmMain window(arguments);
    window.show();
    if (window.AutoRunMode) {
        guarded("SpeedButton1Click", [&] { window.production->SpeedButton1Click(); });
        PumpOnce();
        if (window.production->Finished)
            return unattendedExitStatus(window.production->LastSummary);
        if (platform::isHeadless()) {
            // A missing firmware file or a project that did not load: with a window the operator
            // could still act, without one the line must hear of it.
            std::fprintf(stderr, "keldrin: the unattended run could not start\n");
            return 2;
        }
    }
    const int status = app.exec();
    if (window.AutoRunMode && window.production->Finished)
        return unattendedExitStatus(window.production->LastSummary);
    return status;
}

}  // namespace keldrin
