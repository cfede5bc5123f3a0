#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace keldrin {

// What happens to an error that escapes a handler. The main window installs the error log here;
// until then (and in tests that install nothing) the error is written to standard error.
using ErrorTrap = std::function<void(const std::exception& error, const char* where)>;
void setErrorTrap(ErrorTrap trap);
void reportEscapedError(const std::exception& error, const char* where);

// Runs one handler; an error escaping it ends the handler and goes to the trap. Qt must never see
// an exception unwind through its own frames, so every signal and timer handler runs through this.
template <typename F>
void guarded(const char* where, F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        reportEscapedError(e, where);
    } catch (...) {
        reportEscapedError(std::runtime_error("unknown error"), where);
    }
}

// Like a plain connect, a handler may ignore the signal's arguments. (A function template of its
// own, because clang checks a call inside a lambda nested in a generic lambda too early.)
template <typename Handler, typename... Args>
void callWithOrWithoutArgs(Handler& handler, Args&&... args) {
    if constexpr (std::is_invocable_v<Handler&, Args...>)
        handler(std::forward<Args>(args)...);
    else
        handler();
}

// connect() whose handler runs guarded. `where` names the handler in the error log.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, QObject* context,
                                       const char* where, Handler handler,
                                       Qt::ConnectionType type = Qt::AutoConnection) {
    return QObject::connect(
        sender, signal, context,
        [where, handler = std::move(handler)](auto&&... args) mutable {
            guarded(where,
                    [&] { callWithOrWithoutArgs(handler, std::forward<decltype(args)>(args)...); });
        },
        type);
}

}  // namespace keldrin
