#pragma once
// The link as the window hands it to the protocol: the front end's port and pump, with a cut-off
// for the moment the program has ended. The desktop program never gets past that moment; a test
// front end does, and from then on not one more byte may reach the DC.

#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"

namespace verno::shell {

class WindowLink final : public link::Port, public link::Pump {
public:
    WindowLink(link::Port& port, link::Pump& pump) : port_(port), pump_(pump) {}

    link::PortResult Write(std::span<const std::uint8_t> bytes) override {
        return cut_ ? link::PortResult::NotOpen : port_.Write(bytes);
    }
    void Clear() override {
        if (!cut_) port_.Clear();
    }
    void RunPending() override { pump_.RunPending(); }

    void Cut() { cut_ = true; }
    bool IsCut() const { return cut_; }

private:
    link::Port& port_;
    link::Pump& pump_;
    bool cut_ = false;
};

}  // namespace verno::shell
