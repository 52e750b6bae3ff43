#pragma once

#include <string>

namespace verno::wizard {

// The text of instruction page n, lines broken by CR LF; empty for a page the wizard has not.
std::string StepInstructions(int n);

}  // namespace verno::wizard
