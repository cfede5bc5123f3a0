#include "shell/Application.h"
#include "shell/Startup.h"

int main(int argc, char** argv) {
    keldrin::Application app(argc, argv);
    return keldrin::runProgram(app);
}
