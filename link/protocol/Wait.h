#pragma once
// The one way the program waits: pending notifications run through the pump while the injected
// clock says whether the limit has passed. A limit has passed when strictly more than it has gone
// by since the wait began or was restarted.

#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Pump.h"

namespace verno::link {

class Wait {
public:
    Wait(const MonotonicClock& clock, Pump& pump, Seconds limit) : clock_(clock), pump_(pump), limit_(limit) {
        Restart();
    }

    // Lets pending notifications run once (a real pump blocks briefly; it never spins).
    void Pass() { pump_.RunPending(); }
    bool Expired() const { return clock_.Now() - start_ > limit_; }
    // What is left of the limit; negative once it has passed.
    Seconds Left() const { return limit_ - (clock_.Now() - start_); }
    // The limit counts again from now: a resend starts a new wait.
    void Restart() { start_ = clock_.Now(); }

    // Lets notifications run until done() holds or the limit has passed, testing both before
    // each pass; true when done() ended it.
    template <class Done>
    bool Until(Done done) {
        for (;;) {
            if (done()) return true;
            if (Expired()) return false;
            Pass();
        }
    }
    // Lets the whole limit pass with notifications running.
    void RunOut() {
        Until([] { return false; });
    }

private:
    const MonotonicClock& clock_;
    Pump& pump_;
    Seconds limit_;
    Seconds start_{};
};

}  // namespace verno::link
