#include "shell/SignalHandling.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/Guard.h"

namespace keldrin {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<int> g_received{0};

// Only async-signal-safe calls in here.
void onTerminationSignal(int sig) {
    if (g_received.fetch_add(1) > 0) _exit(TerminationSignals::kForcedExitStatus);
    alarm(TerminationSignals::kBoundSeconds);
    const unsigned char byte = static_cast<unsigned char>(sig);
    const int saved = errno;
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

void onBoundReached(int) {
    _exit(TerminationSignals::kForcedExitStatus);
}

void install(int sig, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_received = 0;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connectGuarded(notifier_, &QSocketNotifier::activated, this, "TerminationSignal",
                   [this] { readSignal(); });
    install(SIGALRM, &onBoundReached);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) install(sig, &onTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) install(sig, SIG_DFL);
}

void TerminationSignals::readSignal() {
    unsigned char byte = 0;
    bool got = false;
    while (read(g_pipe[0], &byte, 1) == 1) got = true;
    if (!got || !onSignal_) return;
    // Only the first signal asks for the orderly end; a second one never gets here.
    auto handler = std::move(onSignal_);
    onSignal_ = nullptr;
    handler(int(byte));
}

}  // namespace keldrin
