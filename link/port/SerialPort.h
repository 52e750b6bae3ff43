#pragma once
// The cable's serial device under the link: frames go out through Write, received bytes go to
// the attached CommModule, and only from inside RunPending.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/port/SerialDevice.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"

namespace verno::link {

class SerialPort final : public Port, public Pump {
public:
    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 38400 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS asserted where
    // the device has them; on Linux the driver is asked for low latency.
    PortOpenResult Open(const std::string& path);
    bool IsOpen() const;
    void Close();

    // Where received bytes go; until then they are read and dropped.
    void Attach(CommModule& comm);
    // Sees every byte written and every chunk delivered, with its direction (a wire trace).
    using Tap = std::function<void(bool fromPc, std::span<const std::uint8_t> bytes)>;
    void SetTap(Tap tap) { tap_ = std::move(tap); }

    PortResult Write(std::span<const std::uint8_t> bytes) override;
    void Clear() override;
    // Runs pending Qt events (user actions), then delivers every byte available as one chunk,
    // waiting for input at most about 2 ms. Never spins.
    void RunPending() override;

private:
    SerialDevice device_;
    CommModule* comm_ = nullptr;
    Tap tap_;
};

}  // namespace verno::link
