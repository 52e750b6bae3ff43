#pragma once
// Sleep, shutdown and log-off held off while the DC's memory is written: a laptop that suspends
// on its idle timer, or a system restarting for its updates, would cut a write halfway and leave
// a watch that does not start. The window adds its own answer to the session's end; the console
// has only the system's.

#include <string>

namespace verno::platform {

class StayAwake {
public:
    virtual ~StayAwake() = default;
    // why: shown by the system to whoever asks it to sleep or shut down. Not nested.
    virtual void Hold(const std::string& why) = 0;
    virtual void Release() = 0;
};

// Where nothing can be held off (a test, a system without the service).
class NoStayAwake : public StayAwake {
public:
    void Hold(const std::string&) override {}
    void Release() override {}
};

}  // namespace verno::platform
