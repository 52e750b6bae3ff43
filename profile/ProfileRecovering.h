#pragma once

#include <string>

#include "profile/ProfileSession.h"

namespace verno::profile {

// The last chance, at Close, to put back a profile that an interrupted update left only in its
// backup file. Asks whether to write it back now, keep it for later or discard it (confirmed
// once more), then guides and retries until it is written back or the user stops. Stopping, and
// a box that nobody answered, keep the file; only a confirmed discard deletes it.
void ProfileRecovering(ProfileSession& s);

// The numbered instructions shown before every attempt.
std::string RecoveryInstructions(WizardSurface& surface);

}  // namespace verno::profile
