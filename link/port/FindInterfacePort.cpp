#include "link/port/FindInterfacePort.h"

#include <QList>
#include <QSerialPortInfo>

#include <cstdlib>
#include <vector>

namespace verno::link {

namespace {

std::vector<PortCandidate> SystemPorts() {
    std::vector<PortCandidate> candidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortCandidate candidate{info.systemLocation().toStdString(), std::nullopt, std::nullopt};
        if (info.hasVendorIdentifier()) candidate.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) candidate.productId = info.productIdentifier();
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

}  // namespace

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

std::optional<std::string> FindInterfacePort(const std::optional<std::string>& overridePath) {
    if (overridePath && !overridePath->empty()) return overridePath;
    if (const char* fromEnvironment = std::getenv(kPortEnvironmentVariable); fromEnvironment && *fromEnvironment)
        return std::string(fromEnvironment);
    return ChooseCablePort(SystemPorts());
}

}  // namespace verno::link
