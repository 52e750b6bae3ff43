#pragma once

namespace verno::link {

// "Let pending notifications run": received serial data and the user's actions execute only
// inside RunPending. A real pump blocks for at most a few milliseconds on the event loop or the
// port when nothing is pending; it never spins a core. A test pump advances virtual time.
class Pump {
public:
    virtual ~Pump() = default;
    virtual void RunPending() = 0;
};

}  // namespace verno::link
