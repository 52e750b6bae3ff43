#include "update/Session.h"

#include <utility>

#include "platform/ProcessPriority.h"

namespace verno::update {

namespace {

// The program's own process: process id 0, no window.
profile::PrioritySetter OrPlatformDefault(profile::PrioritySetter setter) {
    if (!setter) setter = [](std::uint32_t priorityClass) { return platform::SetProcessPriority(0, 0, priorityClass); };
    return setter;
}

}  // namespace

Session::Session(link::CommModule& commModule, link::MonotonicClock& monotonicClock, link::Pump& eventPump,
                 const firmware::FirmwareImage& image, WizardSurface& frontEnd, const WallClock& pcClock,
                 std::filesystem::path folder, profile::PrioritySetter prioritySetter)
    : ProfileSession(commModule, image, frontEnd, pcClock, std::move(folder), OrPlatformDefault(std::move(prioritySetter))),
      clock(monotonicClock),
      pump(eventPump) {}

}  // namespace verno::update
