#pragma once

#include <filesystem>
#include <string>

#include "firmware/FirmwareImage.h"

namespace verno::firmware {

// The model tag of the demo firmware that the build generates, and the simulated DC's.
inline constexpr const char* kDemoModelTag = "DEMO-1B";

// A firmware file made for the simulated DC: its model tag says DEMO.
bool IsDemoFirmware(const FirmwareImage& fw);

// Whether the identity text read from the DC names the firmware's model. Rewrites text (double
// spaces reduced, whatever the result) and, on a match with three or four words, dcVersion.
bool CheckIdentity(std::string& text, const FirmwareImage& fw, std::string& dcVersion);

// True when exactly that path names a normal file.
bool FileExists(const std::filesystem::path& path);

}  // namespace verno::firmware
