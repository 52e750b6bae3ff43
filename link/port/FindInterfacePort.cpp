#include "link/port/FindInterfacePort.h"
#include "link/port/SerialDevice.h"

#include <QList>
#include <QSerialPortInfo>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cwctype>
#include <vector>

namespace verno::link {

namespace {

std::vector<PortCandidate> SystemPorts() {
    std::vector<PortCandidate> candidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortCandidate candidate{PortName(info.systemLocation().toStdString()), std::nullopt, std::nullopt,
                                info.serialNumber().toStdString()};
        if (info.hasVendorIdentifier()) candidate.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) candidate.productId = info.productIdentifier();
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

bool IsComName(std::string_view name) {
    const auto letter = [&](std::size_t i, char c) { return std::toupper(static_cast<unsigned char>(name[i])) == c; };
    if (name.size() < 4 || !letter(0, 'C') || !letter(1, 'O') || !letter(2, 'M')) return false;
    return std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string PortName(std::string path) {
    if (path.starts_with("\\\\.\\") && IsComName(std::string_view(path).substr(4))) path.erase(0, 4);
    if (path.ends_with(':') && IsComName(std::string_view(path).substr(0, path.size() - 1))) path.pop_back();
    return path;
}

std::vector<std::string> CablePorts(std::span<const PortCandidate> candidates) {
    std::vector<std::string> cables;
    for (const auto& candidate : candidates) {
        if (candidate.vendorId == kCableVendorId && candidate.productId == kCableProductId) cables.push_back(candidate.path);
    }
    return cables;
}

std::optional<std::string> ChooseCablePort(std::span<const PortCandidate> candidates) {
    const std::vector<std::string> cables = CablePorts(candidates);
    if (cables.empty()) return std::nullopt;
    return cables.front();
}

std::vector<std::string> FindCablePorts() { return CablePorts(SystemPorts()); }

std::vector<std::string> PortsOf(const CableIdentity& identity, std::span<const PortCandidate> candidates) {
    std::vector<std::string> ports;
    for (const auto& candidate : candidates) {
        if (candidate.vendorId != identity.vendorId || candidate.productId != identity.productId) continue;
        // Two cables on one computer: only the converter with this serial number is this one.
        if (!identity.serialNumber.empty() && candidate.serialNumber != identity.serialNumber) continue;
        ports.push_back(candidate.path);
    }
    return ports;
}

std::vector<std::string> CablePortsOf(const CableIdentity& identity) { return PortsOf(identity, SystemPorts()); }

std::optional<CableIdentity> IdentityOf(const std::string& path) {
    const QString device = QString::fromStdString(DevicePath(path));
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString given = QString::fromStdString(path);
        if (info.systemLocation() != device && info.systemLocation() != given && info.portName() != given) continue;
        if (!info.hasVendorIdentifier() || !info.hasProductIdentifier()) return std::nullopt;
        return CableIdentity{info.vendorIdentifier(), info.productIdentifier(), info.serialNumber().toStdString()};
    }
    return std::nullopt;
}

bool NamesCable(std::wstring_view hardwareIds) {
    // "USB\VID_0403&PID_F460&REV_0600", then "USB\VID_0403&PID_F460"; the letters in either case.
    wchar_t cable[32];
    std::swprintf(cable, std::size(cable), L"USB\\VID_%04X&PID_%04X", kCableVendorId, kCableProductId);
    const std::wstring_view want(cable);
    const auto sameLetter = [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); };
    while (!hardwareIds.empty() && hardwareIds.front() != L'\0') {
        const std::wstring_view id = hardwareIds.substr(0, hardwareIds.find(L'\0'));
        if (id.size() >= want.size() && std::equal(want.begin(), want.end(), id.begin(), sameLetter) &&
            (id.size() == want.size() || id[want.size()] == L'&'))
            return true;
        hardwareIds.remove_prefix(std::min(hardwareIds.size(), id.size() + 1));
    }
    return false;
}

#ifndef _WIN32
bool CableWithoutDriver() { return false; }
#endif

std::optional<std::string> FindInterfacePort(const std::optional<std::string>& overridePath) {
    if (overridePath && !overridePath->empty()) return PortName(*overridePath);
    if (const char* fromEnvironment = std::getenv(kPortEnvironmentVariable); fromEnvironment && *fromEnvironment)
        return PortName(fromEnvironment);
    return ChooseCablePort(SystemPorts());
}

}  // namespace verno::link
