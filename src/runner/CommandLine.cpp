#include "runner/CommandLine.h"

namespace keldrin {

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    if (arguments.size() > 1) line.port = arguments.at(1);
    if (arguments.size() > 2) line.project = arguments.at(2);
    return line;
}

}  // namespace keldrin
