#include "platform/ProcessPriority.h"

#include <windows.h>

namespace verno::platform {

namespace {
constexpr DWORD kSetAndQuery = PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION;
}  // namespace

std::uint32_t SetProcessPriority(std::uint32_t processId, std::uint32_t windowHandle,
                                 std::uint32_t priorityClass) {
    DWORD id = processId;
    if (id == 0 && windowHandle != 0)
        GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(windowHandle)), &id);
    if (id == 0) id = GetCurrentProcessId();
    // A process we may not change is still asked for its class.
    HANDLE process = OpenProcess(kSetAndQuery, FALSE, id);
    if (process != nullptr) {
        // The system may grant less (high for real-time without the right); the class read back says.
        SetPriorityClass(process, priorityClass);
    } else {
        process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    }
    if (process == nullptr) return 0;
    const DWORD inForce = GetPriorityClass(process);
    CloseHandle(process);
    return inForce;
}

}  // namespace verno::platform
