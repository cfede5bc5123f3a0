#pragma once

// Small helpers the tests share.

#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "platform/FakeSeams.h"
#include "platform/Seams.h"

namespace keldrin::testkit {

// The whole file, or nothing when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Processor seconds (user and system) this process has used so far.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The messages of the desktop alerts shown so far, in order.
inline QStringList alertMessages(const platform::RecordingAlerts& alerts) {
    QStringList out;
    for (const auto& a : alerts.shown) out << a.message;
    return out;
}

// What a window test runs in: the fake seams, and a program folder of its own (settings file,
// summaries, logs) that goes away afterwards.
inline void enterSandbox(std::unique_ptr<platform::FakeSeams>& seams,
                         std::unique_ptr<QTemporaryDir>& folder) {
    seams = std::make_unique<platform::FakeSeams>();
    folder = std::make_unique<QTemporaryDir>();
    platform::setProgramFolder(folder->path());
}
inline void leaveSandbox(std::unique_ptr<platform::FakeSeams>& seams,
                         std::unique_ptr<QTemporaryDir>& folder) {
    platform::setProgramFolder(QString());
    seams.reset();
    folder.reset();
}

}  // namespace keldrin::testkit
