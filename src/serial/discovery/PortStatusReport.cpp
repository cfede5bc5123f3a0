#include "serial/discovery/PortStatusReport.h"

#include <sys/utsname.h>

#include <QFile>
#include <QPlainTextEdit>

#include "serial/discovery/PortProbe.h"
#include "serial/discovery/TXComm.h"
#include "serial/platform/PortMap.h"

namespace keldrin::serial {

namespace {

const QString kSeparator =
    QStringLiteral("- - - - - - - - - - - - - - - - - - - - - - - - - - - -");

// The leading decimal digits of `text` from `pos` on; `pos` moves past them.
int leadingNumber(const QString& text, int& pos) {
    int n = 0;
    while (pos < text.size() && text[pos].isDigit() && n < 100000)
        n = n * 10 + text[pos++].digitValue();
    return n;
}

// Value of one os-release variable, unquoted as the file's shell-like syntax has it.
QString osReleaseValue(const QByteArray& text, const QByteArray& key) {
    for (const QByteArray& rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith(key + '=')) continue;
        const QByteArray v = line.mid(key.size() + 1);
        QByteArray out;
        if (!v.isEmpty() && (v[0] == '"' || v[0] == '\'')) {
            const char quote = v[0];
            for (int i = 1; i < v.size() && v[i] != quote; ++i) {
                if (quote == '"' && v[i] == '\\' && i + 1 < v.size()) ++i;
                out += v[i];
            }
        } else {
            out = v;
        }
        return QString::fromUtf8(out);
    }
    return {};
}

}  // namespace

QString OsVersionTextFrom(const QString& sysname, const QString& release,
                          const QByteArray& osRelease) {
    int pos = 0;
    const int major = leadingNumber(release, pos);
    int minor = 0;
    if (pos < release.size() && release[pos] == QLatin1Char('.'))
        minor = leadingNumber(release, ++pos);
    // Like the service-pack text it stands in for: at most 128 characters.
    const QString distribution = osReleaseValue(osRelease, "PRETTY_NAME").left(128);
    return QStringLiteral("%1 Version %2.%3\r\n (Build %4: %5)")
        .arg(sysname)
        .arg(major)
        .arg(minor)
        .arg(release, distribution);
}

QString OsVersionText() {
    utsname u{};
    if (uname(&u) != 0) return {};
    QByteArray osRelease;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly)) {
            osRelease = f.read(64 * 1024);
            break;
        }
    }
    return OsVersionTextFrom(QString::fromUtf8(u.sysname), QString::fromUtf8(u.release), osRelease);
}

int ReportPortCount(const QString& osVersionLine, bool upTo255) {
    const QString family = osVersionLine.left(10);
    if (family == QLatin1String("Windows 95")) return 16;
    if (family == QLatin1String("Windows NT") || family == QLatin1String("Linux Vers"))
        return upTo255 ? 255 : 24;
    return 0;
}

QStringList CommPortsReport(TXComm& XComm1, const QString& osVersionLine, bool upTo255) {
    QStringList lines{QStringLiteral("Your OS is:"), osVersionLine, kSeparator};
    const int last = ReportPortCount(osVersionLine, upTo255);
    if (last == 0) return lines;

    const PortMapEntries known = CurrentPortMap();
    for (int n = 1; n <= last; ++n) {
        const QString com = QStringLiteral("Com%1").arg(n);
        // A number stays in the map after its adapter was unplugged: present means a device.
        const auto it = known.find(n);
        if (it == known.end() || !PortPresent(it->second)) {
            lines << com + QStringLiteral(" Not found");
            continue;
        }
        lines << com + QStringLiteral(" found/present on this computer");
        XComm1.SetDeviceName(com);
        try {
            XComm1.OpenDevice();
            lines << XComm1.DeviceName() + QStringLiteral(" will glad to be opened for You!");
            XComm1.CloseDevice();
        } catch (const EDeviceError& e) {
            if (XComm1.IsOpen()) XComm1.CloseDevice();
            lines << QStringLiteral("Failed to open device...  ") +
                         QString::fromStdString(e.what()) + QStringLiteral("....   ") + com +
                         QStringLiteral(" has been opened and already in use");
        }
        lines << kSeparator;
    }
    return lines;
}

void ActionCheckCommPortsExecute(QPlainTextEdit& Memo1, TXComm& XComm1, bool upTo255) {
    const QStringList lines = CommPortsReport(XComm1, OsVersionText(), upTo255);
    // The version line carries its own line break.
    Memo1.setPlainText(
        lines.join(QLatin1Char('\n')).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

}  // namespace keldrin::serial
