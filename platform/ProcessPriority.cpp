#include "platform/ProcessPriority.h"

namespace verno::platform {

namespace {
constexpr int kNormalNice = 0;
constexpr int kHighNice = -10;
constexpr int kRealtimeNice = -20;
}  // namespace

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

}  // namespace verno::platform
