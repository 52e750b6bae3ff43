#include "platform/ProcessPriority.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/types.h>

namespace verno::platform {

namespace {
constexpr int kNormalNice = 0;
constexpr int kHighNice = -10;
constexpr int kRealtimeNice = -20;
}  // namespace

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

std::optional<int> NiceForPriorityClass(std::uint32_t priorityClass) {
    switch (priorityClass) {
        case kNormalPriorityClass: return kNormalNice;
        case kHighPriorityClass: return kHighNice;
        case kRealtimePriorityClass: return kRealtimeNice;
        default: return std::nullopt;
    }
}

std::uint32_t PriorityClassForNice(int nice) {
    if (nice <= kRealtimeNice) return kRealtimePriorityClass;
    if (nice <= kHighNice) return kHighPriorityClass;
    return kNormalPriorityClass;
}

std::uint32_t SetProcessPriority(NiceControl& system, std::uint32_t processId, std::uint32_t priorityClass) {
    // The window handle names no process here; the result of the set is not needed, as the
    // class in force is read back either way.
    if (const auto nice = NiceForPriorityClass(priorityClass)) system.SetNice(processId, *nice);
    const auto inForce = system.GetNice(processId);
    return inForce ? PriorityClassForNice(*inForce) : 0;
}

std::uint32_t SetProcessPriority(std::uint32_t processId, std::uint32_t /*windowHandle*/,
                                 std::uint32_t priorityClass) {
    SystemNiceControl system;
    return SetProcessPriority(system, processId, priorityClass);
}

}  // namespace verno::platform
