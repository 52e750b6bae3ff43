#include "platform/StartProgram.h"

#include <windows.h>

#include <string>

namespace verno::platform {

void StartProgram(const std::filesystem::path& program) {
    // The command line is the program's name alone, quoted for a path with spaces; CreateProcessW
    // may write into it.
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
}

}  // namespace verno::platform
