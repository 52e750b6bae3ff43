#pragma once

namespace verno::platform {

// Ends the program at once with the exit status: standard output and error are flushed, and no
// destructor, event or handler runs afterwards, so an interrupted update can never resume.
[[noreturn]] void EndProcess(int status);

}  // namespace verno::platform
