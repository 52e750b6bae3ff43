#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

// Writes the profile that waits (the backup's, or a file the user chose) into the DC, the header
// last, and reads the header back. Before the first byte, what the DC holds is kept on disk
// (CopyWhatTheDcHolds); if it cannot be, nothing is written. On success the profile is
// WrittenBack: a backup file is removed once the history holds a copy of it and it is still the
// file that was read; a chosen file is never touched. Otherwise the profile stays in its file
// for the recovery. The DC's clock is set once writing began. Returns whether it was written
// back.
bool RestoreProfile(ProfileSession& s);

// The two write addresses whose 128-byte write the DC may refuse; the rest of the profile then
// goes out in 16-byte pieces.
inline constexpr std::int16_t kFallbackAddressA = 3072;
inline constexpr std::int16_t kFallbackAddressB = 3080;

}  // namespace verno::profile
