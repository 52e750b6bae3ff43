#pragma once
// The user's wish to close, from Ctrl-C, a hang-up or a termination request (on Windows:
// Ctrl-C, Ctrl-Break, the console window's close, log-off and shut-down). It is set where the
// system reports it (a signal handler, or on Windows a thread of the system's own) and acted on
// by the program's one thread: inside the pump as a click of Close, or by the bench, which
// passes it on to the cables' processes.

#include <chrono>

namespace verno::console {

// The POSIX signal numbers that the exit status is made of (128 + the number), on both systems.
inline constexpr int kHangUp = 1;
inline constexpr int kInterrupt = 2;
inline constexpr int kTerminate = 15;

// signal: one of the numbers above (or another signal's); consoleWide: the console has told
// every process on it as well (Windows' Ctrl-Break and close), so nobody need pass it on.
void RequestClose(int signal, bool consoleWide = false);

// Whether a request came since the last call, clearing it.
bool TakeCloseRequest();
// Whether a request waits, leaving it.
bool CloseRequested();
// Whether a request waits or comes within limit, leaving it; checked every 10 ms.
bool CloseRequestWithin(std::chrono::milliseconds limit);
// The signal of the last request; 0 when none came in this run.
int CloseSignal();
// Whether the last request reached every process of the console by itself.
bool CloseWasConsoleWide();

}  // namespace verno::console
