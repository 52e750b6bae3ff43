#pragma once
// How a run ended, as the controller hands it to a front end: what became of the DC, where its
// profile is, and every file with a profile that the run leaves on disk, and why. The console's
// result line and summary are made from this, not from the session.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "profile/ProfileState.h"

namespace verno::wizard {

enum class Outcome {
    NotTried,  // the run ended before Next or a restore did anything
    Updated,
    NoUpdateNeeded,
    Restored,      // a file the user chose was written into the DC
    NotAnswering,  // the DC did not answer
    OtherModel,    // the DC is not of the firmware file's model
    Failed,        // see the task log's error rows
    Closed,        // the user closed the program before the run came to its end
};

struct RunSummary {
    Outcome outcome = Outcome::NotTried;
    std::optional<std::int32_t> serial;  // once block 0 of the DC was read
    std::string identity;                // the DC's identity as last read
    std::string versionMet;              // the DC's firmware when Next met it
    std::string versionNow;              // as last read
    profile::ProfileWhere profile = profile::ProfileWhere::InDc;
    std::vector<profile::KeptFile> kept;
    bool recovered = false;  // the recovery at Close wrote the profile back
};

}  // namespace verno::wizard
