#pragma once
// One update attempt's world, built by the wizard and handed to the procedures by reference: the
// profile session and the clock and pump that the reset wait runs on.

#include <cstdint>
#include <string>

#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Pump.h"
#include "profile/ProfileSession.h"

namespace verno::update {

class Session : public profile::ProfileSession {
public:
    // clock and pump must be the ones the CommModule was built with: the reset wait runs on them.
    Session(link::CommModule& commModule, link::MonotonicClock& monotonicClock, link::Pump& eventPump,
            const firmware::FirmwareImage& image, WizardSurface& frontEnd, const WallClock& pcClock,
            platform::FileSystem& fs, std::filesystem::path folder, profile::PrioritySetter prioritySetter)
        : ProfileSession(commModule, image, frontEnd, pcClock, fs, std::move(folder), std::move(prioritySetter)),
          clock_(monotonicClock),
          pump_(eventPump) {}

    link::MonotonicClock& Clock() { return clock_; }
    link::Pump& Pump() { return pump_; }

private:
    link::MonotonicClock& clock_;
    link::Pump& pump_;
};

}  // namespace verno::update
