#pragma once
// A clock that moves only when told to: unit tests run every timeout on virtual time.

#include "link/protocol/MonotonicClock.h"

namespace verno::link {

class VirtualClock final : public MonotonicClock {
public:
    Seconds Now() const override { return now_; }
    void SleepFor(Seconds duration) override {
        if (duration > Seconds::zero()) now_ += duration;
    }
    void Advance(Seconds duration) { SleepFor(duration); }

private:
    Seconds now_{1000.0};  // not zero, so that a start time of 0 is never mistaken for "unset"
};

}  // namespace verno::link
