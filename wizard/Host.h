#pragma once
// What the wizard is given by the machine it runs on: the cable (its port, the pump that lets
// received bytes and the user's clicks run, the clock of every timeout), the PC's clock, the
// process priority, the program's files, the follow-up program and the end of the program. The
// desktop program and verno-update use the real ones; the tests put a simulated DC on virtual
// time behind the same calls.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/WallClock.h"
#include "link/protocol/CableKeeper.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"
#include "platform/Files.h"
#include "platform/StayAwake.h"

namespace verno::wizard {

class Host {
public:
    virtual ~Host() = default;

    // The cable. Port, pump and clock live as long as the host.
    virtual link::Port& Port() = 0;
    virtual link::Pump& Pump() = 0;
    virtual link::MonotonicClock& Clock() = 0;
    // Where received bytes go from now on.
    virtual void Attach(link::CommModule& comm) = 0;
    // Who is told when the cable drops off and comes back, and lets the port wait for it.
    virtual void WatchCable(link::CableWatch* watch) = 0;
    // Looks for the cable afresh; its device, or nullopt when there is none.
    virtual std::optional<std::string> FindPort() = 0;
    // When FindPort found none: whether the cable is plugged in but has no driver to give it a port.
    virtual bool CableWithoutDriver() { return false; }
    virtual link::PortOpenResult OpenPort(const std::string& path) = 0;
    virtual void ClosePort() = 0;

    virtual const WallClock& Wall() = 0;
    // Sets the program's own process priority class; returns the class in force.
    virtual std::uint32_t SetPriority(std::uint32_t priorityClass) = 0;

    virtual std::string_view ConfigurationRecord() = 0;
    // The catalogue column of the desktop's language, when it is one of the catalogue's.
    virtual std::optional<int> DesktopLanguageColumn() = 0;
    virtual std::filesystem::path ProgramFolder() = 0;
    virtual std::filesystem::path CatalogueFile() = 0;
    // The firmware file of that name to read: the user's own before the shipped one.
    virtual std::filesystem::path FirmwareFile(const std::filesystem::path& name) = 0;
    // Where a user puts the vendor's firmware file.
    virtual std::filesystem::path UserFirmwareFolder() = 0;
    // Where backup files of DC profiles are kept; made with the first of them.
    virtual std::filesystem::path BackupFolder() = 0;
    // The disk the profile's files are read from and written to. Lives as long as the host.
    virtual platform::FileSystem& Files() = 0;
    // Holds off the system's sleep and shutdown. Lives as long as the host.
    virtual platform::StayAwake& Awake() = 0;

    // The follow-up program named by the configuration record; its result is not used.
    virtual void StartProgram(const std::filesystem::path& program) = 0;
    // Ends the program at once with the exit status. A real host never returns from here; a test
    // host records the end and returns, and the wizard then stays inert.
    virtual void EndProgram(int status) = 0;
};

}  // namespace verno::wizard
