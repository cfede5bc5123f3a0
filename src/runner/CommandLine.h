#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace keldrin {

// The two optional arguments of an unattended start: `keldrin <port> <project.cmd>`.
struct CommandLine {
    QString port;     // CommandLinePort: COM number in decimal ("3" is COM3), empty when absent
    QString project;  // CommandLineProject: full name of the project file, empty when absent
    // AutoRunMode: the two joined give a non-empty text.
    bool autoRun() const { return !(port + project).isEmpty(); }
};

// `arguments` as QCoreApplication::arguments() gives them, the program itself first.
CommandLine parseCommandLine(const QStringList& arguments);

// Why an unattended start with these arguments cannot work, in one line; empty when it can:
// the port must be a decimal COM number from 1 to 255 and the project a readable file.
QString unattendedArgumentProblem(const CommandLine& line);

// `keldrin --help` and `keldrin --version` (the option alone on the command line): the text to
// print before ending with status 0. Empty for every other command line, which keeps the rules
// above.
QString InformationRequested(const QStringList& arguments);
QString UsageText();
QString VersionText();  // "Keldrin 4.0.7 (build 420)"

}  // namespace keldrin
