#include "shell/Startup.h"

#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/CommandLine.h"
#include "runner/ProductionFlow.h"
#include "runner/ProjectFile.h"
#include "runner/Runner.h"
#include "shell/Application.h"
#include "shell/SignalHandling.h"
#include "shell/TfrmMain.h"

namespace keldrin {

namespace {

// A termination signal: a run is stopped as "Abort" stops it and finishes as "Program"
// finishes (an unattended "Program" then closes the window itself); then the window closes as
// its close button would, and the event loop ends.
void endInOrder(TfrmMain& window) {
    const auto runGoing = [&window] {
        return window.runner->isRunning() || window.production->Running;
    };
    if (runGoing()) window.btnAbort->click();
    auto* poll = new QTimer(&window);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, runGoing] {
        if (runGoing()) return;
        poll->stop();
        window.close();
        QCoreApplication::exit(0);
    });
    poll->start();
}

// The last line on standard error of an unattended run names its summary, so that a
// production script can find it; the exit status stays the contract.
int nameSummary(const TfrmMain& window, int status) {
    std::fprintf(stderr, "%s\n", qPrintable(SummaryFileName(window.CommandLinePort.toInt())));
    return status;
}

}  // namespace

int runProgram(Application& app) {
    Application::setApplicationName(QStringLiteral("Keldrin"));
    platform::setApplicationTitle(QStringLiteral("Keldrin"));
    const QStringList arguments = Application::arguments();

    // Watched from before the window exists: a signal during start-up waits in the pipe
    // until the event loop, or a run's event pumping, reads it.
    // The window's own creation pumps events; a signal read then is acted on once it exists.
    TfrmMain* target = nullptr;
    bool pending = false;
    TerminationSignals terminationSignals([&target, &pending](int) {
        if (target)
            endInOrder(*target);
        else
            pending = true;
    });
    TfrmMain window(arguments);
    target = &window;
    if (pending) endInOrder(window);
    window.show();
    // Every way out closes the window first, so that the instance is counted out.
    const auto leave = [&window](int status) {
        window.close();
        return status;
    };
    if (window.AutoRunMode) {
        guarded("SpeedButton1Click", [&] { window.production->SpeedButton1Click(); });
        PumpOnce();
        if (window.production->Finished)
            return nameSummary(window, leave(window.production->LastExitStatus));
        // A project that stopped loading half way must not be run with what it left behind.
        if (!window.project->LoadError.isEmpty()) return leave(RunExitNotStarted);
        if (platform::isHeadless() || window.isHidden()) {
            // A missing firmware file or a project that did not load: with a window the operator
            // could still act, without one the line must hear of it.
            std::fprintf(stderr, "keldrin: the unattended run could not start\n");
            return leave(RunExitNotStarted);
        }
    }
    const int status = app.exec();
    if (window.AutoRunMode && window.production->Finished)
        return nameSummary(window, window.production->LastExitStatus);
    return status;
}

}  // namespace keldrin
