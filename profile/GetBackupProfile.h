#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupLookup {
    // Block 0 did not come in: the serial number is unknown, and BackupFilePath and DcSerial
    // still name the DC of the last good read.
    Unanswered,
    Found,       // a backup of this DC's non-empty profile is loaded into the profile state
    NotFound,    // no file, an empty profile in it, or another DC's serial digits
    // The file exists but is damaged (wrong size, values out of range, rows that do not match its
    // header); it is kept and nothing of it is loaded.
    Damaged,
    Unreadable,  // the file exists but cannot be read; it is kept
};

inline bool IsUnusable(BackupLookup lookup) {
    return lookup == BackupLookup::Damaged || lookup == BackupLookup::Unreadable;
}

// Reads block 0 of the attached DC, names its backup file in BackupFilePath and loads the file
// when it is this DC's. Block 0 stays in RxBuf for the backup.
BackupLookup GetBackupProfile(ProfileSession& s);

}  // namespace verno::profile
