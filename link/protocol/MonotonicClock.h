#pragma once
// Time for the link's timeouts and pauses. A monotonic clock: the waits cannot be cut short by
// midnight or by the user setting the PC's clock. Tests use a virtual clock.

#include <chrono>

namespace verno::link {

using Seconds = std::chrono::duration<double>;

class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual Seconds Now() const = 0;
    // Blocks for the duration without letting any notification run.
    virtual void SleepFor(Seconds duration) = 0;
};

class SteadyClock final : public MonotonicClock {
public:
    Seconds Now() const override;
    void SleepFor(Seconds duration) override;
};

}  // namespace verno::link
