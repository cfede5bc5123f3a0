#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <set>

namespace keldrin {

// The application-wide error trap: every error that escapes a handler is appended to
// "_errors_log.txt" beside the program, and the screen is saved as a JPEG the first time an
// error arises at a place. Nothing is shown to the user; the program goes on.
class ErrorLog {
  public:
    ErrorLog();

    void record(const std::exception& error, const char* where) noexcept;

    QString logPath() const;
    QString screenshotFolder() const;

    // The header block written before the first record of a new log file.
    static QByteArray headerBlock();
    // One record, CR LF before each item and after the last.
    static QByteArray recordText(const std::exception& error, const char* where);

    // What the screenshot shows; by default the whole screen (or, where the screen cannot be
    // read, the program's windows).
    std::function<QImage()> grabScreen;

  private:
    void saveScreenshot(std::uint32_t site);
    std::set<std::uint32_t> shotSites_;
};

}  // namespace keldrin
