#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "firmware/FirmwareImage.h"

namespace verno::firmware {

// The model tag of the demo firmware that the build generates, and the simulated DC's.
inline constexpr const char* kDemoModelTag = "DEMO-1B";

// A firmware file made for the simulated DC: its model tag says DEMO.
bool IsDemoFirmware(const FirmwareImage& fw);

// Whether the identity text read from the DC names the firmware's model. Rewrites text (double
// spaces reduced, whatever the result) and, on a match with three or four words, dcVersion.
bool CheckIdentity(std::string& text, const FirmwareImage& fw, std::string& dcVersion);

// Whether a reply reads as an identity at all (of whatever model): printable words, at least
// two. A disturbed line delivers bytes that do not.
bool IsIdentity(std::string_view text);

// True when exactly that path names a normal file.
bool FileExists(const std::filesystem::path& path);

}  // namespace verno::firmware
