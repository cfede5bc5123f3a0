#include "shell/Startup.h"

#include "platform/EventPump.h"
#include "platform/Seams.h"
#include "shell/Application.h"
#include "shell/TfrmMain.h"

namespace keldrin {

int runProgram(Application& app) {
    Application::setApplicationName(QStringLiteral("Keldrin"));
    platform::setApplicationTitle(QStringLiteral("Keldrin"));
    TfrmMain window(Application::arguments());
    window.show();
    if (window.AutoRunMode) {
        // The unattended job (load, program, close) runs here once the production flow exists.
        PumpOnce();
    }
    return app.exec();
}

}  // namespace keldrin
