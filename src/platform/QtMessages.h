#pragma once

// Standard error carries only what a user can act on. Qt says things of its own there (no
// XDG_RUNTIME_DIR, a platform plugin that cannot do something); those are dropped, while
// messages from our code and every critical or fatal message pass.

#include <QString>
#include <QtGlobal>

namespace keldrin::platform {

// True for a message of Qt's own that means nothing to a user.
bool IsQtNoise(QtMsgType type, const char* category, const QString& message);

// Puts the filter in front of Qt's message output, for the whole process.
void InstallQtMessageFilter();

}  // namespace keldrin::platform
