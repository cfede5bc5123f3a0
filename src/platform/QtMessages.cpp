#include "platform/QtMessages.h"

#include <QStringList>
#include <cstdio>
#include <cstring>

namespace keldrin::platform {

namespace {

QtMessageHandler gPrevious = nullptr;

void filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (IsQtNoise(type, context.category, message)) return;
    if (gPrevious) {
        gPrevious(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

bool IsQtNoise(QtMsgType type, const char* category, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) return false;
    // Qt's logging categories are all named "qt.<area>".
    if (category && std::strncmp(category, "qt.", 3) == 0) return true;
    // What Qt says in the default category about the desktop it runs on.
    static const QStringList qtOwn{
        QStringLiteral("QStandardPaths: "),
        QStringLiteral("This plugin does not support "),
        QStringLiteral("Qt: Session management error"),
    };
    for (const QString& start : qtOwn)
        if (message.startsWith(start)) return true;
    return false;
}

void InstallQtMessageFilter() {
    QtMessageHandler previous = qInstallMessageHandler(filter);
    if (previous != filter) gPrevious = previous;
}

}  // namespace keldrin::platform
