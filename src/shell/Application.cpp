#include "shell/Application.h"

#include "platform/Guard.h"

namespace keldrin {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportEscapedError(e, "event handler");
    } catch (...) {
        reportEscapedError(std::runtime_error("unknown error"), "event handler");
    }
    return false;
}

}  // namespace keldrin
