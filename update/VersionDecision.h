#pragma once
// Whether the attached DC needs the firmware file's code, from the versions and revisions.

#include <cstdint>
#include <string_view>

#include "firmware/FirmwareImage.h"

namespace verno::update {

enum class VersionDecision {
    BelowRequired,  // area 1 only: the DC's version is too old for this file
    NoUpdateNeeded,
    NewerRevision,  // area 2 only: the DC's revision is above the file's
    Update,
};

// Whether the update reads the DC's revision: only for an identity record whose required
// revision is 1 to 99.
inline bool ReadsRevision(const firmware::FirmwareImage& fw) { return fw.RequiredRevision >= 1 && fw.RequiredRevision <= 99; }

// Versions compare on their character codes, case-sensitive: "19" is below "1A".
VersionDecision DecideVersion(const firmware::FirmwareImage& fw, std::string_view dcVersion, std::uint8_t dcRevision);

}  // namespace verno::update
