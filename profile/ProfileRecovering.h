#pragma once

#include <optional>
#include <string>

#include "profile/ProfileSession.h"

namespace verno::profile {

// What the recovery saw of the DC last: the version its identity gave, when it answered.
struct RecoveryOutcome {
    bool ran = false;                  // the user chose to write the profile back
    std::optional<std::string> dcVersion;  // the version the DC reported at the last attempt
};

// The last chance, at Close, to put back a profile that waits in its file: an interrupted update's
// backup, or a file the user chose to write back. Asks whether to write it back now, keep it for
// later or (a backup only) discard it, confirmed once more; then guides and retries until it is
// written back or the user stops. Stopping, and a box that nobody answered, keep the file; a
// confirmed discard removes a backup only once the history holds a copy of it.
RecoveryOutcome ProfileRecovering(ProfileSession& s);

// The numbered instructions shown before every attempt.
std::string RecoveryInstructions(WizardSurface& surface);

}  // namespace verno::profile
