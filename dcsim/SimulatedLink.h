#pragma once
// The in-process link to a SimulatedDc on virtual time: the port the protocol writes to and the
// pump that moves time on and delivers the DC's replies. It never sleeps on the wall clock.

#include <functional>
#include <span>

#include "dcsim/SimulatedDc.h"
#include "link/protocol/CableKeeper.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"
#include "link/protocol/VirtualClock.h"

namespace verno::dcsim {

// The cable is kept as the serial port keeps it (CableKeeper): when the DC's cableOutSeconds
// switch drops it, writes fail as a vanished device's do until it is back.
class SimulatedLink : public link::Port, public link::Pump {
public:
    SimulatedLink(SimulatedDc& dc, link::VirtualClock& clock);
    // Who is told when the cable goes and comes back.
    void Watch(link::CableWatch* watch) { keeper_.Watch(watch); }
    void Attach(link::CommModule& comm);           // where received chunks go
    // Another DC on the cable from now on (the user swapped watches).
    void Plug(SimulatedDc& dc) { dc_ = &dc; }
    void SetOnPump(std::function<void()> action);  // user actions run inside the pump
    // The port refuses the write of the n-th frame of that many bytes (with its trailing 0x00),
    // counted from now: a cable pulled out mid-frame.
    void FailWriteOf(std::size_t length, int n);
    link::PortResult Write(std::span<const std::uint8_t> bytes) override;
    void Clear() override;
    // Advances virtual time by 1 ms, or less when a byte falls due sooner, delivers every due
    // reply byte as one chunk (one chunk a byte with that fault), then runs the on-pump action.
    void RunPending() override;

    int Clears() const { return clears_; }
    // Reply bytes handed to the link so far (a port clear drops some before they get there).
    std::size_t DeliveredBytes() const { return delivered_; }

private:
    // The cable as the keeper sees it.
    class Cable final : public link::CableDevice {
    public:
        explicit Cable(SimulatedLink& link) : link_(link) {}
        link::PortResult Write(std::span<const std::uint8_t> bytes) override;
        std::optional<std::string> Lost() override;
        std::optional<std::string> Reattach() override;

    private:
        SimulatedLink& link_;
    };
    // Whether the cable is off the computer now; starts a drop when its switch has just armed.
    bool Out();

    SimulatedDc* dc_;
    link::VirtualClock& clock_;
    link::CommModule* comm_ = nullptr;
    std::function<void()> onPump_;
    int clears_ = 0;
    std::size_t delivered_ = 0;
    std::size_t failingLength_ = 0;
    int writesUntilFailure_ = 0;
    std::optional<link::Seconds> backAt_;  // a drop under way: when the cable is back
    bool dropped_ = false;                 // the armed switch has dropped the cable once
    Cable cable_{*this};
    link::CableKeeper keeper_;
};

}  // namespace verno::dcsim
