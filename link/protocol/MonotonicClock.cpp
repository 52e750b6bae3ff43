#include "link/protocol/MonotonicClock.h"

#include <thread>

namespace verno::link {

Seconds SteadyClock::Now() const {
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::SleepFor(Seconds duration) {
    if (duration > Seconds::zero()) std::this_thread::sleep_for(duration);
}

}  // namespace verno::link
