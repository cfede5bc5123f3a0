#include <QString>
#include <QStringList>
#include <cstdio>

#include "platform/QtMessages.h"
#include "runner/CommandLine.h"
#include "shell/Application.h"
#include "shell/Startup.h"

int main(int argc, char** argv) {
    // Arguments of an unattended start that cannot work are said in one line before anything
    // else starts, and the line gets its answer at once.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const QString information = keldrin::InformationRequested(arguments);
    if (!information.isEmpty()) {
        std::fputs(information.toLocal8Bit().constData(), stdout);
        return 0;
    }
    const keldrin::CommandLine line = keldrin::parseCommandLine(arguments);
    if (line.autoRun()) {
        const QString problem = keldrin::unattendedArgumentProblem(line);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "keldrin: %s\n", problem.toLocal8Bit().constData());
            return 2;
        }
    }
    keldrin::platform::InstallQtMessageFilter();
    keldrin::Application app(argc, argv);
    return keldrin::runProgram(app);
}
