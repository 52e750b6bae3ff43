#include "link/port/FindInterfacePort.h"

#include <charconv>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "link/port/OSVersion.h"
#else
#include <QList>
#include <QSerialPortInfo>
#endif

namespace verno::link {

std::optional<std::string> ChooseCablePort(std::span<const PortCandidate> candidates) {
    for (const auto& candidate : candidates) {
        if (candidate.vendorId == kCableVendorId && candidate.productId == kCableProductId) return candidate.path;
    }
    return std::nullopt;
}

RegistryEntry CableRegistryEntry(std::string_view osName) {
    if (osName == "Windows98") return {R"(Enum\FTDIBUS\VID_0403+PID_F460+20030001A\0000)", "PortName"};
    // The converter driver's first virtual port only: a cable behind another converter's first
    // port is not found here.
    return {R"(Hardware\DeviceMap\SerialComm)", R"(\Device\VCP0)"};
}

std::uint8_t ComNumberFromRegistryText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.size() <= 3) return 0;
    const std::string_view digits = text.substr(3);
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return 0;
    if (number < 1 || number > 255) return 0;
    return static_cast<std::uint8_t>(number);
}

namespace {

#ifdef _WIN32
// A string value as stored, with its terminating NUL; nullopt on any registry error.
std::optional<std::string> QueryRegText(HKEY key, const std::string& valueName) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ) return std::nullopt;
    std::string text(size, '\0');
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size);
    return text;
}

std::optional<std::string> DiscoverCablePort() {
    const RegistryEntry entry = CableRegistryEntry(GetOSName());
    HKEY key = nullptr;
    std::uint8_t number = 0;
    // Read access is all a lookup needs.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(entry.key).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (const auto text = QueryRegText(key, std::string(entry.value))) number = ComNumberFromRegistryText(*text);
        RegCloseKey(key);
    }
    if (number == 0) return std::nullopt;
    return "COM" + std::to_string(number);
}
#else
std::optional<std::string> DiscoverCablePort() {
    std::vector<PortCandidate> candidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortCandidate candidate{info.systemLocation().toStdString(), std::nullopt, std::nullopt};
        if (info.hasVendorIdentifier()) candidate.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) candidate.productId = info.productIdentifier();
        candidates.push_back(std::move(candidate));
    }
    return ChooseCablePort(candidates);
}
#endif

}  // namespace

std::optional<std::string> FindInterfacePort(const std::optional<std::string>& overridePath) {
    if (overridePath && !overridePath->empty()) return overridePath;
    if (const char* fromEnvironment = std::getenv(kPortEnvironmentVariable); fromEnvironment && *fromEnvironment)
        return std::string(fromEnvironment);
    return DiscoverCablePort();
}

}  // namespace verno::link
