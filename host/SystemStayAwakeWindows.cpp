#include "host/SystemStayAwake.h"

#include <windows.h>

namespace verno::host {

struct SystemStayAwake::Inhibitor {};

SystemStayAwake::SystemStayAwake() = default;
SystemStayAwake::~SystemStayAwake() {
    if (hold_) Release();
}

void SystemStayAwake::Hold(const std::string&) {
    if (hold_) return;
    // Continuous until changed: the state belongs to this thread, the only one that writes.
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) hold_ = std::make_unique<Inhibitor>();
}

void SystemStayAwake::Release() {
    if (!hold_) return;
    SetThreadExecutionState(ES_CONTINUOUS);
    hold_.reset();
}

bool SystemStayAwake::Held() const { return hold_ != nullptr; }

}  // namespace verno::host
