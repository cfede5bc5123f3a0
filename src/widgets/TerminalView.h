#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>

namespace keldrin {

// The terminal view that every shown received block passes through, one character at a time;
// `OnProcessChar` runs for each character before the view takes it.
class TerminalView : public QWidget {
    Q_OBJECT
  public:
    explicit TerminalView(QWidget* parent = nullptr);
    void feed(const QByteArray& block);
    std::function<void(char& ch)> OnProcessChar;
    // The characters taken so far (the view keeps the last 64 KiB).
    const QByteArray& screen() const { return screen_; }

  private:
    QByteArray screen_;
};

}  // namespace keldrin
