#pragma once

#include "profile/GetBackupProfile.h"
#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupOutcome {
    Saved,       // read from the DC and written to the backup file
    Reused,      // a backup of this DC waits to be written back, and what the DC holds is on disk
    Empty,       // nothing to save; KeepProfile is False
    ReadFailed,  // a block was not read; the attempt has failed, no file written
    // Stopped before anything was written to the DC or replaced on disk (a damaged header, a
    // file that is unusable, a copy that could not be made): the attempt has failed, and no code
    // may be sent.
    Refused,
    // Closed at the question which profile goes back: nothing was sent, the saved profile stays
    // in its file for the next update.
    Closed,
};

// Saves the attached DC's profile to its backup file before the update, or takes the one an
// earlier run left (TakeFoundProfile).
BackupOutcome BackupProfile(ProfileSession& s);

// A backup of this DC was found. What the DC holds now is read and kept in the history first,
// unless this run already holds it. When it differs from the saved profile and its header
// changed, the user chooses which one goes back; the saved one unless they choose the present
// one. Says in rows what was found and where the other profile is kept.
BackupOutcome TakeFoundProfile(ProfileSession& s, FoundBackup found);

enum class Guard {
    Ok,
    NotRead,  // the DC's memory could not be read (rows say why)
    NotKept,  // it could not be kept on disk (rows say why)
};

// The rule before every write into the DC's profile area: what the DC holds there is on disk,
// byte for byte, in a file this run made or read back. Reads block 0; unless this run already
// holds what that DC held, reads its profile and keeps it in the history, named at Close as
// `why`. Nothing may be written unless Ok.
Guard CopyWhatTheDcHolds(ProfileSession& s, KeptWhy why);

}  // namespace verno::profile
