#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupOutcome {
    Saved,       // read from the DC and written to the backup file
    Reused,      // a backup of this DC was already on disk and is loaded
    Empty,       // nothing to save; KeepProfile is False
    ReadFailed,  // a block was not read; TransferFailed is set, no file written
    // Stopped before anything was saved or overwritten (a damaged header, an existing file that
    // is unusable, a file that cannot be written): TransferFailed is set, KeepProfile is False,
    // and no code may be sent.
    Refused,
};

// Saves the attached DC's profile into the profile state and its backup file.
BackupOutcome BackupProfile(ProfileSession& s);

}  // namespace verno::profile
