#pragma once
// Keeps the link on the cable when it drops off the computer and comes back: a loose plug, a hub,
// a cable bumped by a bag. When the device goes away (its reads or writes fail in the way that
// means so), the watcher is told at once with the system's words. The next write first looks
// for the cable again (the same device, then by its USB identity) and, while it is not there,
// waits for it for about a minute, the watcher shown the seconds left and free to end the wait.
// The serial port and the simulated link keep their cable this way.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Port.h"

namespace verno::link {

class CableWatch {
public:
    virtual ~CableWatch() = default;
    // The device went away; reason is the system's words.
    virtual void CableLost(const std::string& reason) = 0;
    // Called over and over while the cable is awaited; runs the pump (the user's Close), and
    // says whether to go on waiting.
    virtual bool CableAwaited(int secondsLeft) = 0;
    // It is back, on that device.
    virtual void CableBack(const std::string& device) = 0;
    // It did not come back in time, or the wait was ended.
    virtual void CableNotBack() = 0;
};

// The system's side of the cable, as the keeper uses it.
class CableDevice {
public:
    virtual ~CableDevice() = default;
    // Gone when the device went away on this write.
    virtual PortResult Write(std::span<const std::uint8_t> bytes) = 0;
    // The system's words, when the device went away since it was opened.
    virtual std::optional<std::string> Lost() = 0;
    // Looks for the cable again and opens it: the device it opened, or nullopt.
    virtual std::optional<std::string> Reattach() = 0;
};

class CableKeeper {
public:
    static constexpr Seconds kWait{60.0};

    CableKeeper(CableDevice& device, MonotonicClock& clock) : device_(device), clock_(clock) {}

    // Who is told; none: a lost cable is looked for once, without waiting.
    void Watch(CableWatch* watch) { watch_ = watch; }

    PortResult Write(std::span<const std::uint8_t> bytes);
    // After every read: tells the watcher when the device went away.
    void Check();
    bool CableLost() const { return lost_; }

private:
    void Lose(const std::string& reason);
    // Looks again, and waits unless a wait is already running below this one (a Close that
    // came during the wait, writing itself).
    bool Regain();

    CableDevice& device_;
    MonotonicClock& clock_;
    CableWatch* watch_ = nullptr;
    bool lost_ = false;
    bool waiting_ = false;
};

}  // namespace verno::link
