#include "link/port/SerialPort.h"

#include <QCoreApplication>

namespace verno::link {

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() { Close(); }

PortOpenResult SerialPort::Open(const std::string& path) {
    const PortOpenResult result = device_.Open(path);
    if (result.opened) {
        path_ = path;
        identity_ = IdentityOf(path);
    }
    return result;
}

void SerialPort::Close() { device_.Close(); }

bool SerialPort::IsOpen() const { return device_.IsOpen(); }

void SerialPort::Attach(CommModule& comm) { comm_ = &comm; }

PortResult SerialPort::Write(std::span<const std::uint8_t> bytes) {
    const PortResult result = keeper_.Write(bytes);
    if (result == PortResult::Ok && tap_) tap_(true, bytes);
    return result;
}

PortResult SerialPort::Cable::Write(std::span<const std::uint8_t> bytes) { return port_.device_.Write(bytes); }

std::optional<std::string> SerialPort::Cable::Reattach() {
    SerialDevice& device = port_.device_;
    device.Close();
    // The same device first: a plug that was loose for a moment comes back under its name.
    if (device.Open(port_.path_).opened) return port_.path_;
    if (!port_.identity_) return std::nullopt;
    // Then the same converter wherever the system put it now (ttyUSB0, then ttyUSB1).
    for (const std::string& path : CablePortsOf(*port_.identity_)) {
        if (device.Open(path).opened) {
            port_.path_ = path;
            return path;
        }
    }
    return std::nullopt;
}

void SerialPort::Clear() { device_.Clear(); }

void SerialPort::RunPending() {
    // The user's actions (Close among them) run here, and may use this port themselves.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const std::span<const std::uint8_t> bytes = device_.Read();
    keeper_.Check();
    if (bytes.empty()) return;
    if (tap_) tap_(false, bytes);
    if (comm_ != nullptr) comm_->ReceiveData(bytes);
}

}  // namespace verno::link
