#pragma once
// The bodies of the fuzz targets. Each decodes or replays one input, checks what must hold for
// any input and aborts when it does not; the result is a one-line account of what the input
// did, which the regression replay compares with the one recorded beside the input.

#include <cstdint>
#include <span>
#include <string>

namespace verno::fuzz {

// The firmware file decoder, on the bytes and on the same bytes as a file.
std::string FirmwareFileTarget(std::span<const std::uint8_t> input);
// The backup file reader: the bytes as a whole file, and as edits of a valid backup.
std::string BackupFileTarget(std::span<const std::uint8_t> input);
// CommModule::ReceiveData under the DC commands, fed by a script (fuzz/ReceiveScript.h).
std::string ReceiveDataTarget(std::span<const std::uint8_t> input);

}  // namespace verno::fuzz
