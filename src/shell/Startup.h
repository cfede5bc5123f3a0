#pragma once

class QApplication;

namespace keldrin {

// The program's entry after the application object exists: creates the windows, runs an
// unattended job when the command line asks for one, then the event loop.
int runProgram(QApplication& app);

}  // namespace keldrin
