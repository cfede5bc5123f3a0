#pragma once

namespace keldrin {

class Application;

// The program's entry once the application object exists: creates the windows, runs an
// unattended job when the command line asks for one, then the event loop.
int runProgram(Application& app);

}  // namespace keldrin
