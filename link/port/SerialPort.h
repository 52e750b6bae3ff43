#pragma once
// The cable's serial device under the link: frames go out through Write, received bytes go to
// the attached CommModule, and only from inside RunPending. When the device goes away the port
// keeps the cable (CableKeeper): it looks for it again at the same device, then by its
// converter's USB identity, and waits for it while a watcher lets it.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "link/port/FindInterfacePort.h"
#include "link/port/SerialDevice.h"
#include "link/protocol/CableKeeper.h"
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
    // The device in use: the one opened, or where the cable came back.
    const std::string& Device() const { return path_; }

    // Where received bytes go; until then they are read and dropped.
    void Attach(CommModule& comm);
    // Who is told when the cable goes and comes back, and lets the port wait for it.
    void Watch(CableWatch* watch) { keeper_.Watch(watch); }
    // Sees every byte written and every chunk delivered, with its direction (a wire trace).
    using Tap = std::function<void(bool fromPc, std::span<const std::uint8_t> bytes)>;
    void SetTap(Tap tap) { tap_ = std::move(tap); }

    PortResult Write(std::span<const std::uint8_t> bytes) override;
    void Clear() override;
    // Runs pending Qt events (user actions), then delivers every byte available as one chunk,
    // waiting for input at most about 2 ms. Never spins.
    void RunPending() override;

private:
    // The device as the keeper sees it.
    class Cable final : public CableDevice {
    public:
        explicit Cable(SerialPort& port) : port_(port) {}
        PortResult Write(std::span<const std::uint8_t> bytes) override;
        std::optional<std::string> Lost() override { return port_.device_.Lost(); }
        std::optional<std::string> Reattach() override;

    private:
        SerialPort& port_;
    };

    SerialDevice device_;
    SteadyClock clock_;
    Cable cable_{*this};
    CableKeeper keeper_{cable_, clock_};
    std::string path_;
    std::optional<CableIdentity> identity_;  // the converter's, when it has one
    CommModule* comm_ = nullptr;
    Tap tap_;
};

}  // namespace verno::link
