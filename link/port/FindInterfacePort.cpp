#include "link/port/FindInterfacePort.h"

#include <QList>
#include <QSerialPortInfo>

#include <cstdlib>
#include <vector>

namespace verno::link {

std::optional<std::string> ChooseCablePort(std::span<const PortCandidate> candidates) {
    for (const auto& candidate : candidates) {
        if (candidate.vendorId == kCableVendorId && candidate.productId == kCableProductId) return candidate.path;
    }
    return std::nullopt;
}

std::optional<std::string> FindInterfacePort(const std::optional<std::string>& overridePath) {
    if (overridePath && !overridePath->empty()) return overridePath;
    if (const char* fromEnvironment = std::getenv(kPortEnvironmentVariable); fromEnvironment && *fromEnvironment)
        return std::string(fromEnvironment);
    std::vector<PortCandidate> candidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortCandidate candidate{info.systemLocation().toStdString(), std::nullopt, std::nullopt};
        if (info.hasVendorIdentifier()) candidate.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) candidate.productId = info.productIdentifier();
        candidates.push_back(std::move(candidate));
    }
    return ChooseCablePort(candidates);
}

}  // namespace verno::link
