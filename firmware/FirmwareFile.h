#pragma once
// Reading, de-scrambling and checking a firmware file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
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

// What is wrong with a refused file, in the terms a user can act on.
enum class FileCause {
    None,
    Missing,      // no such file
    Folder,       // the path names a folder
    Unreadable,   // the system refused to read it: see systemReason
    TooShort,     // a firmware header, but the file ends before its last record
    NotFirmware,  // no firmware header, or values no firmware file holds
    CheckValue,   // a sum in the header does not match the records
};

// A firmware file read: the image, or why it was refused.
struct DecodeResult {
    FirmwareImage image;
    FirmwareError error = FirmwareError::None;
    int errorCode = 0;  // 4 or 5 once an empty text was met, else 0
    FileCause cause = FileCause::None;
    std::string systemReason;  // the system's words, when it refused to read the file
    std::uintmax_t fileSize = 0;
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
