#include "shell/ErrorLog.h"

#include <pwd.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>
#include <QWidget>

#include "platform/Errors.h"
#include "platform/Seams.h"
#include "shell/JpegWriter.h"

namespace keldrin {

namespace {

const char kCrLf[] = "\r\n";

// Value of a "Key: value" line of a /proc file ("MemTotal:  16384 kB").
QByteArray procField(const char* file, const QByteArray& key) {
    QFile f(QString::fromLatin1(file));
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == key) return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

// /proc/meminfo figures are in kB; the log gives bytes.
QByteArray memBytes(const QByteArray& key) {
    const QByteArray v = procField("/proc/meminfo", key);
    bool ok = false;
    const qulonglong kb = v.split(' ').value(0).toULongLong(&ok);
    return ok ? QByteArray::number(kb * 1024) : QByteArray("0");
}

QByteArray userName() {
    if (const passwd* pw = getpwuid(geteuid())) return QByteArray(pw->pw_name);
    return qgetenv("USER");
}

QImage grabWholeScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QImage shot;
    if (screen) shot = screen->grabWindow(0).toImage();
    bool blank = shot.isNull();
    if (!blank) {
        // Platforms without access to the screen (offscreen, some Wayland sessions) hand back an
        // empty or uniform picture; the program's own windows are the next best thing.
        const QRgb first = shot.pixel(0, 0);
        blank = true;
        for (int y = 0; y < shot.height() && blank; y += 7)
            for (int x = 0; x < shot.width() && blank; x += 7)
                if (shot.pixel(x, y) != first) blank = false;
    }
    if (!blank) return shot;
    const QSize size = screen ? screen->size() : QSize(800, 600);
    QImage composed(size, QImage::Format_RGB32);
    composed.fill(Qt::darkGray);
    QPainter painter(&composed);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) painter.drawPixmap(w->geometry().topLeft(), w->grab());
    return composed;
}

}  // namespace

ErrorLog::ErrorLog() : grabScreen(&grabWholeScreen) {}

QString ErrorLog::logPath() const {
    return platform::programFolder() + QStringLiteral("/_errors_log.txt");
}

QString ErrorLog::screenshotFolder() const {
    // Not the program's own name: the program file of that name sits in the same folder.
    return platform::programFolder() + QLatin1Char('/') + platform::programBaseName() +
           QStringLiteral("-errors");
}

QByteArray ErrorLog::headerBlock() {
    utsname un{};
    uname(&un);
    QByteArray out = "##################### exception log header";
    auto item = [&out](const char* name, const QByteArray& value) {
        out += kCrLf;
        out += name;
        out += value;
    };
    item("ExeModule= ", QFile::encodeName(platform::programPath()));
    item("OSPlatform= ", QByteArray(un.sysname) + ' ' + un.release);
    item("CPUKind= ", QByteArray(un.machine));
    item("CPUName= ", procField("/proc/cpuinfo", "model name"));
    item("TotalPhys= ", memBytes("MemTotal"));
    item("AvailPhys= ", memBytes("MemAvailable"));
    item("TotalPageFile= ", memBytes("SwapTotal"));
    item("AvailPageFile= ", memBytes("SwapFree"));
    // The process's address space: its limit, or the 128 TiB of a 64-bit user space.
    rlimit as{};
    qulonglong totalVirtual = 1ULL << 47;
    if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) totalVirtual = as.rlim_cur;
    bool ok = false;
    const qulonglong used =
        procField("/proc/self/status", "VmSize").split(' ').value(0).toULongLong(&ok) * 1024;
    item("TotalVirtual= ", QByteArray::number(totalVirtual));
    item("AvailVirtual= ", QByteArray::number(ok && used < totalVirtual ? totalVirtual - used : 0));
    QScreen* screen = QGuiApplication::primaryScreen();
    item("ColorDepth= ", QByteArray::number(screen ? screen->depth() : 0));
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 0;
    if (dpi == 96) item("SystemFont=SmallFont", QByteArray());
    if (dpi == 120) item("SystemFont=BigFont", QByteArray());
    item("VRefreshRate= ", QByteArray::number(screen ? qRound(screen->refreshRate()) : 0));
    const QSize size = screen ? screen->size() : QSize(0, 0);
    item("GraphicResolution= ",
         QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toLatin1());
    out += kCrLf;
    out += "##################### exception log header end";
    out += kCrLf;
    return out;
}

QByteArray ErrorLog::recordText(const std::exception& error, const char* where) {
    QByteArray out;
    auto item = [&out](const char* name, const QByteArray& value) {
        out += kCrLf;
        out += name;
        out += value;
    };
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    item("Exception class= ", QByteArray::fromStdString(exceptionClassName(error)));
    item("ExceptAddr= ",
         QByteArray::number(exceptionSite(error, where), 16).toUpper().rightJustified(8, '0'));
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    item("Computer= ", QByteArray(host));
    item("User= ", userName());
    item("Datetime= ", (locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral("  ") +
                        locale.toString(now.time(), QLocale::LongFormat))
                           .toLatin1());
    QByteArray message(error.what());
    item("ExceptionMessage= ", message);
    out += kCrLf;
    return out;
}

void ErrorLog::record(const std::exception& error, const char* where) noexcept {
    try {
        QFile log(logPath());
        const bool fresh = !log.exists();
        if (log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (fresh) log.write(headerBlock());
            log.write(recordText(error, where));
            log.close();
        }
        saveScreenshot(exceptionSite(error, where));
    } catch (...) {
        // A log that cannot be written is dropped silently, like the error itself.
    }
}

void ErrorLog::saveScreenshot(std::uint32_t site) {
    if (!shotSites_.insert(site).second) return;
    const QString folder = screenshotFolder();
    QDir().mkpath(folder);
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    const QString name = QString::asprintf("  %2d-%2d-%4d %2d-%2d-%2d", d.day(), d.month(),
                                           d.year(), t.hour(), t.minute(), t.second());
    const QImage shot = grabScreen ? grabScreen() : QImage();
    writeJpeg(
        shot,
        folder + QLatin1Char('/') + platform::programBaseName() + name + QStringLiteral(".jpg"),
        50);
}

}  // namespace keldrin
