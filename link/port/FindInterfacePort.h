#pragma once
// Finding the interface cable's serial device by its converter's USB identity, which Qt Serial
// Port reports on every platform. Nothing is cached: every call looks afresh, so a cable plugged
// in after a failed search is found on the retry.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// A port as Windows users write and read it: \\.\COM3 (the system's list) and COM3: (older
// habits) are COM3. Any other path stays as it is.
std::string PortName(std::string path);

// Every attached cable's device, looked up afresh; empty when there is none.
std::vector<std::string> FindCablePorts();

// Whether the cable's converter is plugged in but has no serial port, for want of a driver.
// Only Windows can be without one: Linux brings its own.
bool CableWithoutDriver();
// Whether a device's hardware ids (Windows: a list of strings, each ended by a null, the
// list by another) name the cable's converter.
bool NamesCable(std::wstring_view hardwareIds);

// Which converter a device is: its USB identity and, where it has one, its serial number.
struct CableIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;  // empty when the converter has none
    bool operator==(const CableIdentity&) const = default;
};

// One serial device as the system lists it.
struct PortCandidate {
    std::string path;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    std::string serialNumber;
};

// The USB identity of the device at path (a link is followed); nullopt for a device without
// one (a pseudo-terminal, a built-in port).
std::optional<CableIdentity> IdentityOf(const std::string& path);
// Every device that is that converter, looked up afresh.
std::vector<std::string> CablePortsOf(const CableIdentity& identity);
std::vector<std::string> PortsOf(const CableIdentity& identity, std::span<const PortCandidate> candidates);
// The first candidate that is the cable, and all of them.
std::optional<std::string> ChooseCablePort(std::span<const PortCandidate> candidates);
std::vector<std::string> CablePorts(std::span<const PortCandidate> candidates);

}  // namespace verno::link
