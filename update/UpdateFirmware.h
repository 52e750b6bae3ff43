#pragma once

#include <string>

#include "update/Session.h"

namespace verno::update {

// "This dive computer is not a" and the firmware's model name, joined with a space: the start of
// every message that refuses the attached DC.
std::string NotThisModel(WizardSurface& surface, const firmware::FirmwareImage& fw);

enum class UpdateResult {
    Updated,         // new code verified, the profile (if any) back in the DC
    NoUpdateNeeded,  // the DC has this firmware or a newer one (a waiting profile written back)
    NotAnswering,
    OtherModel,
    BelowRequired,   // the DC's firmware is older than the file can update
    Failed,          // see the task log's error rows
    // The user closed the program at the question which profile goes back: nothing was sent.
    Closed,
};

// One complete update of the attached DC, from the identity check to the verdict row. Called
// with KeepProfile and ProfileSafe True and a fresh attempt.
UpdateResult UpdateFirmware(Session& s);

}  // namespace verno::update
