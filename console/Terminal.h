#pragma once
// What verno-update needs of its terminal and its system, the part that differs between Linux
// and Windows: whether an output is a terminal, whether rows may be redrawn in place there, its
// width, and the user's requests to close (CloseRequest.h).

#include <cstddef>

namespace verno::console {

// Whether fd is a terminal (on Windows a console; the NUL device is none).
bool IsTerminal(int fd);

// Whether rows on that output may be redrawn in place: a terminal that moves its cursor on
// escape codes (not TERM=dumb; on Windows a console that takes them, switched to do so here).
bool DrawsInPlace(int fd);

// The columns of the terminal on fd; 80 when it cannot tell.
std::size_t TerminalColumns(int fd);

// Sets up the console for the program's texts: UTF-8 on Windows; nothing to do elsewhere.
void PrepareConsole();

// From now on, Ctrl-C and its kin request Close (CloseRequest.h). restartWrites: the bench's
// own writes are not interrupted; one cable's waiting question is.
void HandleCloseRequests(bool restartWrites);

}  // namespace verno::console
