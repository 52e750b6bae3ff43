#include "platform/ProcessPriority.h"

#include <sys/resource.h>
#include <sys/types.h>

#include <cerrno>

namespace verno::platform {

bool SystemNiceControl::SetNice(std::uint32_t processId, int nice) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(processId), nice) == 0;
}

std::optional<int> SystemNiceControl::GetNice(std::uint32_t processId) {
    // -1 is a valid nice value: only errno tells a failure apart.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(processId));
    if (nice == -1 && errno != 0) return std::nullopt;
    return nice;
}

std::uint32_t SetProcessPriority(std::uint32_t processId, std::uint32_t /*windowHandle*/,
                                 std::uint32_t priorityClass) {
    SystemNiceControl system;
    return SetProcessPriority(system, processId, priorityClass);
}

}  // namespace verno::platform
