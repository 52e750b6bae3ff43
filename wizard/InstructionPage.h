#pragma once

#include <string>

#include "common/WizardSurface.h"

namespace verno::wizard {

// The text of instruction page n in the surface's language, lines broken by CR LF; empty for a
// page the wizard has not.
std::string StepInstructions(int n, WizardSurface& surface);

}  // namespace verno::wizard
