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

QString InformationRequested(const QStringList& arguments) {
    if (arguments.size() != 2) return QString();
    const QString& option = arguments.at(1);
    if (option == QLatin1String("--help") || option == QLatin1String("-h")) return UsageText();
    if (option == QLatin1String("--version")) return VersionText() + QLatin1Char('\n');
    return QString();
}

QString VersionText() {
    return QStringLiteral("Keldrin " KELDRIN_VERSION " (build %1)").arg(KELDRIN_BUILD);
}

QString UsageText() {
    return QStringLiteral(
        "Usage: keldrin                       open the window\n"
        "       keldrin <port> <project.cmd>  program a device unattended and end\n"
        "       keldrin --help | --version\n"
        "\n"
        "An unattended run loads the project, opens COM <port> (a number from 1 to 255),\n"
        "runs every row, writes the run summary and ends. It needs no display: set\n"
        "QT_QPA_PLATFORM=offscreen on a machine without one. The full path of the run\n"
        "summary is the last line on standard error.\n"
        "\n"
        "Exit status of an unattended run:\n"
        "  0  the run passed: the summary's second line is \"OK\" or \"Sent\", every row\n"
        "     ran, and the device's checksum equals the expected one\n"
        "  1  a row failed, the device was pulled, the run was stopped, or the checksums\n"
        "     differ\n"
        "  2  the run could not start: arguments that cannot work, a firmware or checksum\n"
        "     file that is missing or unreadable, a project that does not load, or a port\n"
        "     that cannot be opened\n"
        "\n"
        "Files: the settings (Keldrin.xml), the run summary (Keldrin-Comm<port>.log), the\n"
        "capture logs, the error log (_errors_log.txt) with its screenshots and the port map\n"
        "(Keldrin.ports) live in one folder:\n"
        "  $KELDRIN_HOME when it is set;\n"
        "  else the program's own folder when it can be written to and is not a system\n"
        "  folder (a build tree);\n"
        "  else $XDG_DATA_HOME/keldrin (~/.local/share/keldrin), created on first use.\n"
        "KELDRIN_PORTS names another port map. The port map gives each COM number its\n"
        "device: lines such as COM3=/dev/ttyUSB0. See keldrin(1).\n");
}

}  // namespace keldrin
