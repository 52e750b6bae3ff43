#pragma once

#include "profile/ProfileSession.h"

namespace verno::profile {

// Writes the saved profile back into the DC, the header last, and reads the header back. On
// success the backup file is deleted and ProfileSafe becomes True; otherwise ProfileSafe is
// False and the file stays for the recovery. The DC's clock is set in every case. Returns
// ProfileSafe.
bool RestoreProfile(ProfileSession& s);

// The two write addresses whose 128-byte write the DC may refuse; the rest of the profile then
// goes out in 16-byte pieces.
inline constexpr std::int16_t kFallbackAddressA = 3072;
inline constexpr std::int16_t kFallbackAddressB = 3080;

}  // namespace verno::profile
