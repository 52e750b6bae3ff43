#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupLookup {
    // Block 0 did not come in: the serial number is unknown, and BackupFilePath and DcSerial
    // still name the DC of the last good read.
    Unanswered,
    Found,  // a backup of this DC's non-empty profile is loaded into the profile state
    // A backup of this DC from an earlier run is loaded, but the DC's profile header is no longer
    // the one saved in it: the DC holds a profile that changed since (new dives).
    FoundChanged,
    // No file, or an empty profile in it. A file that is not this DC's to write back (another
    // DC's serial number inside, another memory size) has been moved aside and named in a row.
    NotFound,
    // The file exists but is damaged (wrong size, values out of range, wrong row sums, rows that
    // do not match its header); it is kept and nothing of it is loaded.
    Damaged,
    Unreadable,  // the file exists but cannot be read; it is kept
};

inline bool IsUnusable(BackupLookup lookup) {
    return lookup == BackupLookup::Damaged || lookup == BackupLookup::Unreadable;
}

// Reads block 0 of the attached DC (kept in DcBlock0 for the backup), names its backup file in
// BackupFilePath and loads the file when it is this DC's.
BackupLookup GetBackupProfile(ProfileSession& s);

}  // namespace verno::profile
