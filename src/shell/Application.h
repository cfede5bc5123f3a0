#pragma once

#include <QApplication>

namespace keldrin {

// The application object. Handlers are guarded where they are connected; overriding notify()
// is the backstop for event handlers (paint, key, close, ...) that throw.
class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace keldrin
