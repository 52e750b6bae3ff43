#pragma once
// Reading, de-scrambling and checking a firmware file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "firmware/FirmwareImage.h"

namespace verno::firmware {

enum class FirmwareError {
    None,
    Missing,         // no such file
    Unreadable,      // cannot be read, truncated, or a value out of range
    EmptyModelName,  // error code 4
    EmptyModelTag,   // error code 5
    ChecksumError1,  // the one area of a single-area file
    ChecksumError2,  // area 1 of a two-area file
    ChecksumError3,  // area 2 of a two-area file
};

struct DecodeResult {
    FirmwareImage image;
    FirmwareError error = FirmwareError::None;
    int errorCode = 0;  // 4 or 5 once an empty text was met, else 0
    bool ok() const { return error == FirmwareError::None; }
};

// Decodes the whole file and runs the three sum checks.
DecodeResult DecodeFirmware(std::span<const std::uint8_t> fileBytes);
DecodeResult LoadFirmwareFile(const std::filesystem::path& path);

// Sets RequiredVersion and RequiredRevision from field 4 of a device-identity record
// ("brand|family|512|6978|1A", optionally with a revision after the version).
void ReadIdentityRecord(std::string_view record, FirmwareImage& fw);

// "Check sum error n!" for the three sum checks, nullptr for any other result.
const char* ChecksumMessage(FirmwareError error);

}  // namespace verno::firmware
