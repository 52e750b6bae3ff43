#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef __linux__
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#endif

namespace verno::app {

namespace {

#ifdef __linux__
sigset_t Requests() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set, signal);
    return set;
}
#endif

}  // namespace

TerminationSignals::TerminationSignals() {
#ifdef __linux__
    // Read as data from the event loop, not handled asynchronously: the Close handler may
    // talk to the DC and show a box, which no signal handler may do.
    const sigset_t set = Requests();
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return;
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) sigprocmask(SIG_UNBLOCK, &set, nullptr);
#endif
}

void TerminationSignals::OnRequest(std::function<void()> close) {
    close_ = std::move(close);
    if (fd_ < 0 || notifier_) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Take(); });
    // A request that came during the start-up is answered now.
    Take();
}

TerminationSignals::~TerminationSignals() {
#ifdef __linux__
    notifier_.reset();
    if (fd_ >= 0) close(fd_);
#endif
}

void TerminationSignals::Take() {
#ifdef __linux__
    signalfd_siginfo info{};
    bool requested = false;
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) requested = true;
    if (requested && close_) close_();
#endif
}

}  // namespace verno::app
