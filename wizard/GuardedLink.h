#pragma once
// The host's port and pump as the wizard hands them to the protocol, with a cut-off for the
// moment the program has ended. A real host never gets past that moment; a test host does, and
// from then on not one more byte may reach the DC.

#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"

namespace verno::wizard {

class GuardedLink final : public link::Port, public link::Pump {
public:
    GuardedLink(link::Port& port, link::Pump& pump) : port_(port), pump_(pump) {}

    link::PortResult Write(std::span<const std::uint8_t> bytes) override {
        return cut_ ? link::PortResult::NotOpen : port_.Write(bytes);
    }
    void Clear() override {
        if (!cut_) port_.Clear();
    }
    void RunPending() override { pump_.RunPending(); }

    void Cut() { cut_ = true; }

private:
    link::Port& port_;
    link::Pump& pump_;
    bool cut_ = false;
};

}  // namespace verno::wizard
