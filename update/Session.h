#pragma once
// One update attempt's world, built by a front end and handed to the procedures by reference.

#include <cstdint>
#include <string>

#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Pump.h"
#include "profile/ProfileSession.h"

namespace verno::update {

class Session : public profile::ProfileSession {
public:
    // clock and pump must be the ones the CommModule was built with: the reset wait runs on them.
    // Without a priority setter the platform's process priority is used (where the build has
    // it; otherwise the priority is left alone).
    Session(link::CommModule& comm, link::MonotonicClock& clock, link::Pump& pump, const firmware::FirmwareImage& fw,
            WizardSurface& surface, const WallClock& wallClock, std::filesystem::path programFolder,
            profile::PrioritySetter setPriority = {});

    link::MonotonicClock& clock;
    link::Pump& pump;

    std::string DcVersion;        // two single-byte characters, set by the identity check
    std::uint8_t DcRevision = 0;  // 0 until read
};

}  // namespace verno::update
