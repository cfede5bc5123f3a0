#pragma once

// The port status report: which COM numbers this computer knows a serial device for, and
// whether each can be opened now.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QPlainTextEdit;

namespace keldrin::serial {

class TXComm;

// The operating system line of the report, two lines joined by CR LF, for example
// "Linux Version 6.1\r\n (Build 6.1.0-27-amd64: Debian GNU/Linux 12)"; empty when the system
// does not say.
QString OsVersionText();
// The same from the parts the system reports: the kernel's name and release, and the text of
// os-release (whose PRETTY_NAME names the distribution).
QString OsVersionTextFrom(const QString& sysname, const QString& release,
                          const QByteArray& osRelease);

// How many port numbers the report covers for a version line: its first ten characters say
// "Windows 95" (16), "Windows NT" or "Linux Vers" (24, or 255 with upTo255); anything else 0.
int ReportPortCount(const QString& osVersionLine, bool upTo255);

// The report's lines. The first ten characters of the version line choose the layout:
// "Windows 95" COM 1 to 16, "Windows NT" and "Linux Vers" COM 1 to 24 (or 255 with upTo255),
// anything else the header only. A port is present when the port map or the system names a
// device for it and that device exists; each present port is opened once with `XComm1`.
QStringList CommPortsReport(TXComm& XComm1, const QString& osVersionLine, bool upTo255);

// Replaces the content of `Memo1` with the report for this computer.
void ActionCheckCommPortsExecute(QPlainTextEdit& Memo1, TXComm& XComm1, bool upTo255);

}  // namespace keldrin::serial
