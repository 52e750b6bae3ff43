#pragma once
// A look at the attached DC for the service bench: who it is, what it runs, how large its
// profile is, and whether the firmware file would update it. Nothing is written to the DC or
// to disk.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "update/Session.h"
#include "update/VersionDecision.h"

namespace verno::update {

enum class CheckResult {
    Checked,
    NotAnswering,
    OtherModel,
    NoBlock0,  // the identity came, block 0 did not: no serial number, no profile size
};

struct DcCheck {
    CheckResult result = CheckResult::NotAnswering;
    std::string identity;  // the identity text as read
    std::string version;   // empty when the identity carries none
    std::optional<std::uint8_t> revision;
    std::int32_t serial = 0;
    int profileBlocks = 0;  // 0: an empty profile
    VersionDecision decision = VersionDecision::NoUpdateNeeded;
    // A backup of this DC's profile, left by an interrupted update: the next update writes it back.
    std::optional<std::filesystem::path> waitingBackup;
};

// Reads the identity, the revision and block 0, decides as the update would, and ends the
// connection.
DcCheck CheckDc(Session& s);

}  // namespace verno::update
