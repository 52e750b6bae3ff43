#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

enum class AfterRestore {
    DeleteBackup,  // the backup file has done its work
    KeepFile,      // a file the user chose to write back stays as it is
};

// Writes the saved profile back into the DC, the header last, and reads the header back. On
// success the profile is WrittenBack (and the backup file deleted, unless kept); otherwise it
// stays Saved in its file for the recovery. The DC's clock is set in every case. Returns
// whether it was written back.
bool RestoreProfile(ProfileSession& s, AfterRestore after = AfterRestore::DeleteBackup);

// The two write addresses whose 128-byte write the DC may refuse; the rest of the profile then
// goes out in 16-byte pieces.
inline constexpr std::int16_t kFallbackAddressA = 3072;
inline constexpr std::int16_t kFallbackAddressB = 3080;

}  // namespace verno::profile
