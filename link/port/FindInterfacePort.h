#pragma once
// Finding the interface cable's serial device. Nothing is cached: every call looks afresh, so a
// cable plugged in after a failed search is found on the retry.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace verno::link {

// The cable's USB-serial converter.
inline constexpr std::uint16_t kCableVendorId = 0x0403;
inline constexpr std::uint16_t kCableProductId = 0xF460;
// Names the device to use when the cable presents differently, or the simulated DC's pty.
inline constexpr const char* kPortEnvironmentVariable = "VERNO_PORT";

// The device path of the cable: overridePath when given (a front end's --port), else the
// environment variable VERNO_PORT when set and not empty, else the USB-serial device
// 0403:F460 the system lists. nullopt: no cable.
std::optional<std::string> FindInterfacePort(const std::optional<std::string>& overridePath = std::nullopt);

// One serial device as the system lists it.
struct PortCandidate {
    std::string path;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
};
// The first candidate that is the cable.
std::optional<std::string> ChooseCablePort(std::span<const PortCandidate> candidates);

// Where the converter's driver leaves the COM port name in the registry, under HKEY_LOCAL_MACHINE.
struct RegistryEntry {
    std::string_view key;
    std::string_view value;
};
RegistryEntry CableRegistryEntry(std::string_view osName);

// The COM number in a registry text such as "COM5\0": the text up to its first NUL, without
// its first three characters, read as a decimal number. 0 when that is not a number 1..255.
std::uint8_t ComNumberFromRegistryText(std::string_view text);

}  // namespace verno::link
