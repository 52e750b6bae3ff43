#include "console/Terminal.h"

#include <windows.h>
#include <io.h>

#include <cstdlib>
#include <string_view>

#include "console/CloseRequest.h"

namespace verno::console {

namespace {

HANDLE ConsoleOf(int fd) {
    if (_isatty(fd) == 0) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// Runs on a thread of the system's own: it only sets the request, which the program's thread
// acts on. The window's close, log-off and shut-down end the process as soon as this returns,
// so it waits instead: the Close under way ends the process (the system allows a few seconds).
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: RequestClose(kInterrupt); return TRUE;
        // The bench passes its Ctrl-C on as a Ctrl-Break; typed, it reaches every process on the console.
        case CTRL_BREAK_EVENT: RequestClose(kInterrupt, true); return TRUE;
        case CTRL_CLOSE_EVENT: RequestClose(kHangUp, true); break;
        default: RequestClose(kTerminate, true); break;
    }
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

bool IsTerminal(int fd) { return ConsoleOf(fd) != nullptr; }

bool DrawsInPlace(int fd) {
    const HANDLE console = ConsoleOf(fd);
    DWORD mode = 0;
    if (console == nullptr || !GetConsoleMode(console, &mode)) return false;
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::string_view(term) == "dumb") return false;
    // An older console shows escape codes as text: it gets each row once, like a file.
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::size_t TerminalColumns(int fd) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE console = ConsoleOf(fd);
    if (console != nullptr && GetConsoleScreenBufferInfo(console, &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 1) return static_cast<std::size_t>(columns);
    }
    return 80;
}

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

void HandleCloseRequests(bool /*restartWrites*/) { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace verno::console
