#include "dcsim/SimulatedLink.h"

#include <algorithm>

namespace verno::dcsim {

namespace {
constexpr link::Seconds kStep{0.001};
// Keeps time moving when the next byte is due within rounding distance of now.
constexpr link::Seconds kMinStep{1e-6};
}  // namespace

SimulatedLink::SimulatedLink(SimulatedDc& dc, link::VirtualClock& clock)
    : dc_(&dc), clock_(clock), keeper_(cable_, clock) {}

bool SimulatedLink::Out() {
    const double seconds = dc_->ActiveFaults().cableOutSeconds;
    if (seconds <= 0) {
        dropped_ = false;
        return false;
    }
    if (!dropped_) {
        dropped_ = true;
        backAt_ = clock_.Now() + link::Seconds(seconds);
    }
    if (backAt_ && clock_.Now() >= *backAt_) backAt_.reset();
    return backAt_.has_value();
}

link::PortResult SimulatedLink::Cable::Write(std::span<const std::uint8_t> bytes) {
    if (link_.Out()) return link::PortResult::Gone;
    link_.dc_->Write(link_.clock_.Now(), bytes);
    return link::PortResult::Ok;
}

std::optional<std::string> SimulatedLink::Cable::Lost() {
    if (!link_.Out()) return std::nullopt;
    return std::string("the simulated cable is out");
}

std::optional<std::string> SimulatedLink::Cable::Reattach() {
    if (link_.Out()) return std::nullopt;
    return std::string("sim");
}

void SimulatedLink::Attach(link::CommModule& comm) { comm_ = &comm; }

void SimulatedLink::SetOnPump(std::function<void()> action) { onPump_ = std::move(action); }

void SimulatedLink::FailWriteOf(std::size_t length, int n) {
    failingLength_ = length;
    writesUntilFailure_ = n;
}

link::PortResult SimulatedLink::Write(std::span<const std::uint8_t> bytes) {
    if (writesUntilFailure_ > 0 && bytes.size() == failingLength_ && --writesUntilFailure_ == 0)
        return link::PortResult::WriteFailed;
    return keeper_.Write(bytes);
}

void SimulatedLink::Clear() {
    ++clears_;
    dc_->DropPendingReplies(clock_.Now());
}

void SimulatedLink::RunPending() {
    const link::Seconds now = clock_.Now();
    link::Seconds step = kStep;
    if (const auto next = dc_->NextEvent(); next && *next > now) step = std::min(step, *next - now);
    clock_.Advance(std::max(step, kMinStep));
    std::vector<std::uint8_t> due = dc_->TakeDue(clock_.Now());
    // What the DC sends while the cable is out is lost on the way.
    if (Out()) due.clear();
    keeper_.Check();
    delivered_ += due.size();
    if (comm_ != nullptr && !due.empty()) {
        if (dc_->ActiveFaults().byteAtATime) {
            for (const std::uint8_t byte : due) comm_->ReceiveData(std::span<const std::uint8_t>(&byte, 1));
        } else {
            comm_->ReceiveData(due);
        }
    }
    if (onPump_) onPump_();
}

}  // namespace verno::dcsim
