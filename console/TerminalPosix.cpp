#include "console/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string_view>

#include "console/CloseRequest.h"

namespace verno::console {

namespace {

extern "C" void OnCloseSignal(int signal) { RequestClose(signal); }

}  // namespace

bool IsTerminal(int fd) { return isatty(fd) != 0; }

bool DrawsInPlace(int fd) {
    if (!IsTerminal(fd)) return false;
    // A terminal that cannot move its cursor gets each row once, like a file.
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

std::size_t TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
    return 80;
}


void PrepareConsole() {}

// Ctrl-C, a hang-up and a termination request work as the Close button: the saved profile is
// never abandoned silently. Without SA_RESTART a question waiting for its answer is interrupted.
// A closed output must never stop an update.
void HandleCloseRequests(bool restartWrites) {
    struct sigaction close {};
    close.sa_handler = OnCloseSignal;
    close.sa_flags = restartWrites ? SA_RESTART : 0;
    sigemptyset(&close.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &close, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace verno::console
