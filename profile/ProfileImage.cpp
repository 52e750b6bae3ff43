#include "profile/ProfileImage.h"

#include <algorithm>

namespace verno::profile {

bool ProfileImage::SameProfile(const ProfileImage& other) const {
    const auto rows = static_cast<std::ptrdiff_t>(std::clamp<int>(ProfileBlockCount, 0, static_cast<int>(kProfileRows)));
    return ProfileHeader == other.ProfileHeader && ProfileBlockCount == other.ProfileBlockCount &&
           std::equal(SerialDigits.begin(), SerialDigits.begin() + 6, other.SerialDigits.begin()) &&
           std::equal(ProfileBlocks.begin(), ProfileBlocks.begin() + rows, other.ProfileBlocks.begin());
}

}  // namespace verno::profile
