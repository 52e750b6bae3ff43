#pragma once

#include "update/Session.h"

namespace verno::update {

// One complete update of the attached DC, from the identity check to the verdict row. Called
// with KeepProfile and ProfileSafe True and TransferFailed False.
void UpdateFirmware(Session& s);

}  // namespace verno::update
