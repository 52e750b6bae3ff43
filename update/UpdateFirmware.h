#pragma once

#include <string>

#include "update/Session.h"

namespace verno::update {

// "This dive computer is not a" and the firmware's model name, joined with a space: the start of
// every message that refuses the attached DC.
std::string NotThisModel(WizardSurface& surface, const firmware::FirmwareImage& fw);

// One complete update of the attached DC, from the identity check to the verdict row. Called
// with KeepProfile and ProfileSafe True and TransferFailed False.
void UpdateFirmware(Session& s);

}  // namespace verno::update
