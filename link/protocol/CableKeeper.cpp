#include "link/protocol/CableKeeper.h"

#include <cmath>

namespace verno::link {

namespace {
constexpr Seconds kLookEvery{0.25};
}  // namespace

void CableKeeper::Lose(const std::string& reason) {
    if (lost_) return;
    lost_ = true;
    if (watch_ != nullptr) watch_->CableLost(reason);
}

void CableKeeper::Check() {
    if (const std::optional<std::string> reason = device_.Lost()) Lose(*reason);
}

bool CableKeeper::Regain() {
    std::optional<std::string> device = device_.Reattach();
    if (!device && watch_ != nullptr && !waiting_) {
        waiting_ = true;
        const Seconds until = clock_.Now() + kWait;
        Seconds nextLook = clock_.Now() + kLookEvery;
        while (!device) {
            const double left = (until - clock_.Now()).count();
            if (left <= 0 || !watch_->CableAwaited(static_cast<int>(std::ceil(left)))) break;
            // Looking means listing the system's serial devices: a few times a second is enough.
            if (clock_.Now() < nextLook) continue;
            nextLook = clock_.Now() + kLookEvery;
            device = device_.Reattach();
        }
        waiting_ = false;
    }
    if (!device) {
        if (watch_ != nullptr) watch_->CableNotBack();
        return false;
    }
    lost_ = false;
    if (watch_ != nullptr) watch_->CableBack(*device);
    return true;
}

PortResult CableKeeper::Write(std::span<const std::uint8_t> bytes) {
    Check();
    if (lost_ && !Regain()) return PortResult::Gone;
    PortResult result = device_.Write(bytes);
    if (result != PortResult::Gone) return result;
    // It went away on this very write: once it is back the frame goes out as if nothing happened.
    Lose(device_.Lost().value_or(std::string()));
    if (!Regain()) return PortResult::Gone;
    return device_.Write(bytes);
}

}  // namespace verno::link
