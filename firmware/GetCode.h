#pragma once

#include <filesystem>
#include <optional>

#include "common/WizardSurface.h"
#include "firmware/FirmwareImage.h"

namespace verno::firmware {

// The start-up step that reads and checks the firmware file, with its task-log rows and fatal
// messages. Returns nothing when the program must end: the caller then sets TransferFailed and
// runs its Close handler. On success the caller sizes the link's receive buffers to
// the DC's memory (CommModule::SizeReceiveBuffersForMemory).
std::optional<FirmwareImage> GetCode(const std::filesystem::path& firmwareFilePath, WizardSurface& surface);

}  // namespace verno::firmware
