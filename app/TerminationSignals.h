#pragma once
// A termination request (SIGTERM, a hang-up, Ctrl-C on the terminal that started the window)
// ends the program as the Close button does: the saved profile is offered back, the port is
// closed and its lock file removed, also while a message box is open.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace verno::app {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // Blocks the signals for the whole process: call before any thread is started.
    TerminationSignals();
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // From here on a request runs close from the event loop (inside a wait, or a box's own
    // loop). Call once the application object exists.
    void OnRequest(std::function<void()> close);

private:
    void Take();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> close_;
};

}  // namespace verno::app
