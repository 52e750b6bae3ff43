#pragma once
// The operating system's side of the cable's serial device: open, write, clear, and a read that
// waits briefly for input. One implementation per system: QSerialPort on Linux, our own Win32
// calls on Windows (wine, where we test, cannot carry QSerialPort's overlapped reads).

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/protocol/Port.h"

namespace verno::link {

// The device a path names, links followed (a udev alias, the simulated DC's pty); the path itself
// when it names no file (a COM port).
std::string DevicePath(const std::string& path);

class SerialDevice {
public:
    // How long a read waits for its first byte: the pump's step.
    static constexpr std::chrono::milliseconds kInputWait{2};
    // A 258-byte frame takes under 70 ms at 38400 baud; far longer means the device is stuck.
    static constexpr std::chrono::milliseconds kWriteDeadline{2000};
    static constexpr std::uint32_t kBaudRate = 38400;

    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // 38400 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS asserted.
    PortOpenResult Open(const std::string& path);
    bool IsOpen() const;
    void Close();
    // The whole frame is in the driver when this returns Ok; nothing of it is left queued when not.
    // Gone when the device went away.
    PortResult Write(std::span<const std::uint8_t> bytes);
    // Drops input pending in the driver and output not yet sent.
    void Clear();
    // What has arrived, waiting up to kInputWait for the first byte; empty when nothing came.
    // A device that fails at once (unplugged) still takes kInputWait, so that no caller spins.
    // The bytes stay valid until the next call.
    std::span<const std::uint8_t> Read();
    // The system's words, once a read or write failed in the way that means the device went away
    // (unplugged, its driver gone, the peer of a pseudo-terminal ended). Open clears it.
    const std::optional<std::string>& Lost() const { return lost_; }

private:
    std::optional<std::string> lost_;
    struct System;
    std::unique_ptr<System> system_;
    std::array<std::uint8_t, 4096> buffer_{};
};

}  // namespace verno::link
