#pragma once

#include <string>

#include "profile/ProfileSession.h"

namespace verno::profile {

// The last chance, at Close, to put back a profile that an interrupted update left only in its
// backup file. Asks, guides and retries until the profile is safe or the user gives up. A box
// answered Interrupted ends it at once with the backup file kept and ProfileSafe False.
void ProfileRecovering(ProfileSession& s);

// The numbered instructions shown before every attempt.
std::string RecoveryInstructions(WizardSurface& surface);

}  // namespace verno::profile
