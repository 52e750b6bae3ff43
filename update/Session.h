#pragma once
// One update attempt's world, built by the wizard and handed to the procedures by reference.

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
            std::filesystem::path folder, profile::PrioritySetter prioritySetter)
        : ProfileSession(commModule, image, frontEnd, pcClock, std::move(folder), std::move(prioritySetter)),
          clock(monotonicClock),
          pump(eventPump) {}

    link::MonotonicClock& clock;
    link::Pump& pump;

    std::string identity;         // the DC's identity as the identity check left it
    std::string DcVersion;        // two single-byte characters, set by the identity check
    std::uint8_t DcRevision = 0;  // 0 until read

};

}  // namespace verno::update
