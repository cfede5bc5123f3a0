#pragma once

// SIGTERM, SIGINT and SIGHUP end the program in order instead of killing it: the signal is
// turned into a call on the window thread (through a pipe the event loop watches), where a run
// is stopped as "Abort" stops it and the window closes as its close button would. A second
// signal while that is under way ends the process at once, and so does the orderly end itself
// if it takes longer than five seconds.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace keldrin {

class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    // `onSignal` runs on the window thread, once, after the first signal.
    explicit TerminationSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Longest time the orderly end may take before the process ends regardless.
    static constexpr unsigned kBoundSeconds = 5;
    // Exit status when the bound runs out or a second signal comes.
    static constexpr int kForcedExitStatus = 1;

  private:
    void readSignal();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace keldrin
