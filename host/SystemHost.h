#pragma once
// The machine the installed programs run on, as the wizard sees it: the cable's serial port
// (found by its USB identity, or named), the steady clock, the PC's local time, the process
// priority, the program's folder and built-in records, the follow-up program and the end of the
// process. The window uses it as it is; verno-update adds Ctrl-C to the pump and its own words
// to the end.

#include <map>
#include <optional>
#include <string>

#include "common/Places.h"
#include "common/WallClock.h"
#include "host/SystemStayAwake.h"
#include "link/port/SerialPort.h"
#include "link/protocol/MonotonicClock.h"
#include "wizard/Host.h"

namespace verno::host {

// The environment in UTF-8, whatever the system's own form (wide on Windows). A value once read
// is kept for the run: callers hold on to its pointer.
class Utf8Environment {
public:
    const char* operator()(const char* name);

private:
    std::map<std::string, std::string, std::less<>> values_;
};

class SystemHost : public wizard::Host {
public:
    // portOverride: the cable's device as the user named it; else it is looked up.
    // firmwareOverride: the firmware file the user named; else the one the places give.
    explicit SystemHost(std::optional<std::string> portOverride = std::nullopt,
                        std::optional<std::filesystem::path> firmwareOverride = std::nullopt);

    link::Port& Port() override { return port_; }
    link::Pump& Pump() override { return port_; }
    link::MonotonicClock& Clock() override { return clock_; }
    void Attach(link::CommModule& comm) override { port_.Attach(comm); }
    void WatchCable(link::CableWatch* watch) override { port_.Watch(watch); }
    std::optional<std::string> FindPort() override;
    bool CableWithoutDriver() override;
    link::PortOpenResult OpenPort(const std::string& path) override;
    void ClosePort() override { port_.Close(); }

    const WallClock& Wall() override { return wall_; }
    std::uint32_t SetPriority(std::uint32_t priorityClass) override;

    std::string_view ConfigurationRecord() override;
    std::optional<int> DesktopLanguageColumn() override;
    std::filesystem::path ProgramFolder() override { return places_.programFolder; }
    std::filesystem::path CatalogueFile() override;
    std::filesystem::path FirmwareFile(const std::filesystem::path& name) override;
    std::filesystem::path UserFirmwareFolder() override { return places_.userFirmwareFolder; }
    std::filesystem::path BackupFolder() override;
    platform::FileSystem& Files() override { return files_; }
    platform::StayAwake& Awake() override { return awake_; }

    void StartProgram(const std::filesystem::path& program) override;
    [[noreturn]] void EndProgram(int status) override;

    // Where this run reads and writes its files.
    const Places& Where() const { return places_; }

protected:
    link::SerialPort& Serial() { return port_; }

private:
    Utf8Environment environment_;
    Places places_;
    std::optional<std::string> portOverride_;
    std::optional<std::filesystem::path> firmwareOverride_;
    link::SerialPort port_;
    link::SteadyClock clock_;
    SystemWallClock wall_;
    platform::SystemFiles files_;
    SystemStayAwake awake_;
};

}  // namespace verno::host
