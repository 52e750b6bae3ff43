#pragma once
// verno-update: the wizard on a terminal, for service benches and automation. It runs the same
// controller as the window: start-up, one Next, and Close. Its options answer the boxes that a
// user would click in the window: --recover the recovery's, a terminal the cable search's.

#include "console/ConsoleView.h"
#include "console/Options.h"
#include "host/SystemHost.h"
#include "wizard/Controller.h"

namespace verno::console {

class ConsoleApp final : public host::SystemHost, private link::Pump {
public:
    explicit ConsoleApp(Options options);
    ConsoleApp(const ConsoleApp&) = delete;
    ConsoleApp& operator=(const ConsoleApp&) = delete;

    // The whole run; ends the process with the controller's exit status.
    [[noreturn]] void Run();

    // Set from the signal handler; acted on inside the pump, as a click of Close.
    static void RequestClose();

    // --- the host, where it differs from the window's ---
    link::Pump& Pump() override { return *this; }
    link::PortOpenResult OpenPort(const std::string& path) override;
    [[noreturn]] void EndProgram(int status) override;

private:
    void RunPending() override;
    MessageAnswer Answer(const std::string& title, MessageButtons buttons);

    Options options_;
    RecoverMode recover_;
    bool interactive_;
    int recoveryAttempts_ = 0;
    ConsoleView view_;
    wizard::Controller controller_;
};

}  // namespace verno::console
