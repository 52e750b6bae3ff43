#pragma once
// What the window is given from outside: the link to the DC with its clock, the message boxes,
// the PC's clock and the program's surroundings. The desktop program uses DesktopFrontEnd; the
// tests put a simulated DC on virtual time and a scripted set of dialogs behind the same calls.

#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/WallClock.h"
#include "common/WizardSurface.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"

namespace verno::shell {

// Modal message boxes. parent is the window the box must stay above.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer Show(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The link: the port the protocol writes to, the pump that lets received bytes and the
    // user's clicks run, and the clock of every timeout. All three live as long as the front end.
    virtual link::Port& Port() = 0;
    virtual link::Pump& Pump() = 0;
    virtual link::MonotonicClock& Clock() = 0;
    // Where the link's received bytes go from now on.
    virtual void Attach(link::CommModule& comm) = 0;
    // Finds and opens the cable's port, asking through the surface to retry for as long as it
    // cannot; the path opened, or nullopt when the user chose to quit.
    virtual std::optional<std::string> OpenInterface(WizardSurface& surface) = 0;

    virtual Dialogs& MessageBoxes() = 0;
    virtual const WallClock& Wall() = 0;
    // Sets the program's own process priority class; returns the class in force.
    virtual std::uint32_t SetPriority(std::uint32_t priorityClass) = 0;

    virtual std::string_view ConfigurationRecord() = 0;
    virtual std::filesystem::path ProgramFolder() = 0;
    virtual std::filesystem::path CatalogueFile() = 0;

    // The follow-up program named by the configuration record; its result is not used.
    virtual void StartProgram(const std::filesystem::path& program) = 0;
    // Ends the program at once. The desktop front end never returns from here; a test front end
    // records the end and returns, and the window then stays inert.
    virtual void EndProgram() = 0;
};

}  // namespace verno::shell
