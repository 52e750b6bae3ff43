#pragma once

#include "profile/GetBackupProfile.h"
#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupOutcome {
    Saved,       // read from the DC and written to the backup file
    Reused,      // a backup of this DC was already on disk and is loaded
    Empty,       // nothing to save; KeepProfile is False
    ReadFailed,  // a block was not read; the attempt has failed, no file written
    // Stopped before anything was saved or overwritten (a damaged header, an existing file that
    // is unusable, a file that cannot be written): the attempt has failed, KeepProfile is False,
    // and no code may be sent.
    Refused,
};

// Saves the attached DC's profile into the profile state and its backup file.
BackupOutcome BackupProfile(ProfileSession& s);

// After GetBackupProfile: a backup of this DC from an earlier run is about to be written back.
// When the DC's profile changed since (FoundChanged), its present profile is read and kept too,
// the user chooses which one goes back (the present one by default), and that one is loaded.
// Says in a row what was found. Reused when a profile is loaded and waits to be written back,
// ReadFailed or Refused (with the failure rows) when the present profile could not be kept.
BackupOutcome TakeFoundProfile(ProfileSession& s, BackupLookup lookup);

// Reads the profile the DC holds now (from block 0 as GetBackupProfile read it)
// into `into`, under a backup row of its own, and keeps it in the history. Saved, Empty, or
// ReadFailed / Refused with the failure rows.
BackupOutcome ReadPresentProfile(ProfileSession& s, ProfileState& into);

}  // namespace verno::profile
