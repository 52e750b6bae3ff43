#pragma once
// The serial port as the protocol sees it. The protocol never opens a port: it is given one.
// Received bytes do not come through here; the port layer hands them to
// CommModule::ReceiveData from inside a pump.

#include <cstdint>
#include <span>
#include <string>

namespace verno::link {

enum class PortResult {
    Ok,
    WriteFailed,
    NotOpen,
    Gone,  // the cable's device went away and did not come back in time
};

// Why the cable's device could not be opened; each has its own advice for the user.
enum class PortOpenError {
    None,
    Missing,       // no such device
    InUse,         // another program holds it
    StaleLock,     // a lock file left by a program that has ended: reason is its path
    NoPermission,  // the user may not read and write it
    NotSerial,     // it is no serial device
    Other,         // see the system's reason
};

// What opening the cable's device gave.
struct PortOpenResult {
    bool opened = false;
    PortOpenError error = PortOpenError::None;
    std::string reason;       // the system's text when the device could not be opened
    std::string deviceGroup;  // the group that owns the device node, when known

    static PortOpenResult Opened() {
        PortOpenResult result;
        result.opened = true;
        return result;
    }
};

class Port {
public:
    virtual ~Port() = default;
    // Queues the bytes for sending, in order.
    virtual PortResult Write(std::span<const std::uint8_t> bytes) = 0;
    // Discards input pending in the driver and output not yet sent.
    virtual void Clear() = 0;
};

}  // namespace verno::link
