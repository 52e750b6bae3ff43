#pragma once
// The start-up step that finds and opens the cable's port, asking the user to plug the cable in
// and retry, or to quit, for as long as it cannot.

#include <functional>
#include <optional>
#include <string>

#include "common/WizardSurface.h"
#include "link/protocol/Port.h"

namespace verno::wizard {

using PortFinder = std::function<std::optional<std::string>()>;
using PortOpener = std::function<link::PortOpenResult(const std::string& path)>;
// Whether the cable is plugged in without a driver that gives it a port.
using DriverCheck = std::function<bool()>;

// The path of the port that is now open; nullopt when the user chose Cancel (the caller ends
// the program).
std::optional<std::string> TestInterface(WizardSurface& surface, const PortFinder& find, const PortOpener& open,
                                         const DriverCheck& cableWithoutDriver = {});

}  // namespace verno::wizard
