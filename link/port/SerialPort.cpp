#include "link/port/SerialPort.h"

#include <QCoreApplication>

namespace verno::link {

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() { Close(); }

PortOpenResult SerialPort::Open(const std::string& path) { return device_.Open(path); }

void SerialPort::Close() { device_.Close(); }

bool SerialPort::IsOpen() const { return device_.IsOpen(); }

void SerialPort::Attach(CommModule& comm) { comm_ = &comm; }

PortResult SerialPort::Write(std::span<const std::uint8_t> bytes) {
    const PortResult result = device_.Write(bytes);
    if (result == PortResult::Ok && tap_) tap_(true, bytes);
    return result;
}

void SerialPort::Clear() { device_.Clear(); }

void SerialPort::RunPending() {
    // The user's actions (Close among them) run here, and may use this port themselves.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const std::span<const std::uint8_t> bytes = device_.Read();
    if (bytes.empty()) return;
    if (tap_) tap_(false, bytes);
    if (comm_ != nullptr) comm_->ReceiveData(bytes);
}

}  // namespace verno::link
