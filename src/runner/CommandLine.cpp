#include "runner/CommandLine.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace keldrin {

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    if (arguments.size() > 1) line.port = arguments.at(1);
    if (arguments.size() > 2) line.project = arguments.at(2);
    return line;
}

QString unattendedArgumentProblem(const CommandLine& line) {
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,3}$"));
    const bool portOk =
        decimal.match(line.port).hasMatch() && line.port.toInt() >= 1 && line.port.toInt() <= 255;
    if (!portOk)
        return QStringLiteral("the port must be a COM number from 1 to 255, not \"%1\"")
            .arg(line.port);
    const QFileInfo project(line.project);
    if (line.project.isEmpty()) return QStringLiteral("no project file was given");
    if (!project.exists())
        return QStringLiteral("the project file \"%1\" does not exist").arg(line.project);
    if (!project.isFile() || !project.isReadable())
        return QStringLiteral("the project file \"%1\" cannot be read").arg(line.project);
    return QString();
}


}  // namespace keldrin
