#pragma once
// verno-update: the wizard's start-up, Next click, update and Close handler without the window,
// for service benches and automation.

#include <memory>
#include <optional>
#include <string>

#include "catalogue/Catalogue.h"
#include "common/ConfigRecord.h"
#include "common/WallClock.h"
#include "console/ConsoleSurface.h"
#include "console/Options.h"
#include "firmware/FirmwareImage.h"
#include "link/port/SerialPort.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/MonotonicClock.h"
#include "update/Session.h"

namespace verno::console {

enum ExitStatus : int {
    kExitUpdated = 0,        // success, or no update was needed
    kExitFailed = 1,         // interface test, identity check or update failed
    kExitStartupFailed = 2,  // firmware file, catalogue, configuration or port
};

class ConsoleApp final : public link::Pump {
public:
    explicit ConsoleApp(Options options);
    ConsoleApp(const ConsoleApp&) = delete;
    ConsoleApp& operator=(const ConsoleApp&) = delete;

    // The whole run; returns the exit status.
    int Run();

    // The pump of the link: the port's, plus Ctrl-C, which works as the Close button does.
    void RunPending() override;

    // Set from the signal handler; checked inside the pump.
    static void RequestClose();

private:
    enum class Phase { StartUp, Update, Recovery };

    bool StartUp();
    int NextAndUpdate();
    // Ends the program as the Close button does; never returns.
    [[noreturn]] void Close(int status);
    MessageAnswer Answer(const std::string& title, MessageIcon icon, MessageButtons buttons);
    [[noreturn]] void KeepBackupAndEnd(int status);
    void FailStartUp(const std::string& reason);

    Options options_;
    RecoverMode recover_;
    bool interactive_;
    Phase phase_ = Phase::StartUp;
    int recoveryAttempts_ = 0;
    int status_ = kExitFailed;

    SystemWallClock wallClock_;
    link::SteadyClock clock_;
    catalogue::Catalogue catalogue_;
    std::optional<ConfigRecord> config_;
    ConsoleSurface surface_;
    std::optional<firmware::FirmwareImage> firmware_;
    link::SerialPort port_;
    link::CommModule comm_;
    std::unique_ptr<update::Session> session_;
    bool closing_ = false;
};

}  // namespace verno::console
