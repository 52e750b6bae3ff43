#pragma once
// The system's own hold on sleep and shutdown. Linux: a logind inhibitor ("sleep:shutdown",
// mode "block") taken over the system bus and let go by closing its descriptor; without logind
// nothing is held and nothing is said. Windows: the thread's execution state, which keeps the
// system from sleeping on its idle timer; shutdown and log-off are the window's to answer.

#include <memory>
#include <string>

#include "platform/StayAwake.h"

namespace verno::host {

class SystemStayAwake final : public platform::StayAwake {
public:
    SystemStayAwake();
    ~SystemStayAwake() override;
    SystemStayAwake(const SystemStayAwake&) = delete;
    SystemStayAwake& operator=(const SystemStayAwake&) = delete;

    void Hold(const std::string& why) override;
    void Release() override;
    bool Held() const;

private:
    struct Inhibitor;
    std::unique_ptr<Inhibitor> hold_;
};

}  // namespace verno::host
