#include "shell/HelpTexts.h"

#include <QLocale>
#include <QStringList>

namespace keldrin {

QString AboutVersionText(const platform::FixedFileVersion& v, qint64 fileSize,
                         const QString& dateTimeText) {
    return QStringLiteral("Version: %1.%2\r\n(Build: %3)  Release: %4\r\nFileSize: %5 bytes \r\n%6")
        .arg(v.major())
        .arg(v.minor())
        .arg(v.build())
        .arg(v.release())
        .arg(fileSize)
        .arg(dateTimeText);
}

QString FileTimeText(const QDateTime& lastWrite) {
    const QDateTime local = lastWrite.toLocalTime();
    const QLocale locale;
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::LongFormat);
}

QString ProgramAboutText(const platform::FixedFileVersion& v) {
    return QStringLiteral("Version: %1.%2 (Build: %3)\r\nRelease: %4")
        .arg(v.major())
        .arg(v.minor())
        .arg(v.build())
        .arg(v.release());
}

QString VersionHistoryText() {
    const QStringList lines{
        QStringLiteral("Version log (from my mind):"),
        QString(),
        QStringLiteral("4.0  - 20-03-2016, version 3.5"),
        QStringLiteral("3.5  - 03-03-2015, version 3.3 + CS issue correction"),
        QStringLiteral("3.04  - 25-02-2015, version 3.03 as is, just MAX Comm Port=254"),
        QStringLiteral("3.3  - 17-09-2014, option to select a Max CommPort Number"),
        QStringLiteral("3.27  - 12-05-2014, interface changes"),
        QStringLiteral("3.2   - 10-01-2012, added Bypass \"Wrong Answer\""),
        QStringLiteral("3.16 - 07-07-2011, interface changes\t"),
        QStringLiteral("3.15 - 17-02-2011, added support to partial path of files"),
        QStringLiteral("3.03 - 29-07-2010, sends BIN(\"@\") or HEX(\":\") char first"),
        QStringLiteral("3.02 - 21-03-2010, added BIN support"),
        QStringLiteral("3.01 - 16-03-2010, interface changes"),
        QStringLiteral("2.93 - 16-02-2010, interface changes"),
        QStringLiteral("2.92 - 24-01-2010, interface changes"),
        QStringLiteral("2.9  - 29-10-2009, parallel programming (up to 8), stable version"),
        QStringLiteral("2.8  - 18-10-2009, COMMports number enlarged to 24"),
        QStringLiteral("2.7  - 17-09-2009, parallel programming (up to 2)"),
        QStringLiteral("2.6  - 15-09-2009, command line support"),
        QStringLiteral("2.5  - 10-09-2009, interface changes"),
        QStringLiteral("2.4  - 23-06-2009, interface changes, stable version"),
        QStringLiteral("2.3  - 29-01-2009, dynamically calculates needed CS"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace keldrin
