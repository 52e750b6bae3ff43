#pragma once
// The front end of the desktop program: the cable's serial port, the steady clock, real message
// boxes, the system's local time and process priority, and the program's own folder.

#include "link/port/SerialPort.h"
#include "shell/FrontEnd.h"
#include "shell/MessageBoxDialogs.h"

namespace verno::shell {

class DesktopFrontEnd final : public FrontEnd {
public:
    link::Port& Port() override { return port_; }
    link::Pump& Pump() override { return port_; }
    link::MonotonicClock& Clock() override { return clock_; }
    void Attach(link::CommModule& comm) override { port_.Attach(comm); }
    std::optional<std::string> OpenInterface(WizardSurface& surface) override;

    Dialogs& MessageBoxes() override { return dialogs_; }
    const WallClock& Wall() override { return wall_; }
    std::uint32_t SetPriority(std::uint32_t priorityClass) override;

    std::string_view ConfigurationRecord() override;
    std::filesystem::path ProgramFolder() override;
    std::filesystem::path CatalogueFile() override;

    void StartProgram(const std::filesystem::path& program) override;
    [[noreturn]] void EndProgram() override;

private:
    link::SerialPort port_;
    link::SteadyClock clock_;
    MessageBoxDialogs dialogs_;
    SystemWallClock wall_;
};

}  // namespace verno::shell
