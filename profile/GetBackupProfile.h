#pragma once

#include <chrono>
#include <memory>

#include "profile/ProfileSession.h"

namespace verno::profile {

enum class BackupLookup {
    // Block 0 did not come in twice the same: the serial number is unknown, and the DC met
    // before stays the one named.
    Unanswered,
    Found,     // a backup of this DC's profile is on disk; it is in `image`, nothing is loaded yet
    NotFound,  // no file of this DC's to write back: none, or one set aside with a row that says where
    Unusable,  // a file under this DC's name is damaged, unreadable or no file at all: left as it is
};

struct FoundBackup {
    BackupLookup lookup = BackupLookup::Unanswered;
    std::unique_ptr<ProfileImage> image;  // Found only
    FileRecord record;                    // the file as read
    std::chrono::system_clock::time_point savedAt{};
};

// Reads block 0 of the attached DC twice, names its backup file and reads the file when there
// is one. A file that is not this DC's to
// write back (another serial number inside, the other memory size, no profile) is set aside
// under a name no run reads by itself.
FoundBackup GetBackupProfile(ProfileSession& s);

// Block 0 read until two reads agree (a few tries); nullopt when they never do.
std::optional<Block0Bytes> ReadBlock0(ProfileSession& s);

}  // namespace verno::profile
