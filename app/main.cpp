// FirmwareUpdate (installed as verno-firmware-update): the firmware update wizard for the
// VERNO 1B dive computer.

#include <QApplication>
#include <QTimer>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/TerminationSignals.h"
#include "common/Version.h"
#include "host/SystemHost.h"
#include "host/WrappedHelp.h"
#include "platform/ProgramArguments.h"
#include "shell/wizard.h"

namespace {

// The desktop entry's id: the window's class and desktop file name, so that docks and task bars
// tie the window to its launcher.
constexpr const char* kDesktopEntryId = "com.qel.VernoFirmwareUpdate";

struct CommandLine {
    std::optional<std::filesystem::path> firmware;
};

// --help, --version and --firmware; Qt's own options (-platform, ...) pass through to it.
// Nothing: end now with the status.
std::optional<CommandLine> ReadCommandLine(std::vector<std::string> args, int& status) {
    CLI::App app{"The firmware update wizard for the VERNO 1B dive computer: it saves the dive computer's "
                 "profile, uploads the firmware over the USB interface cable and writes the profile back. "
                 "The window guides you.",
                 "verno-firmware-update"};
    verno::host::WrapHelp(app);
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::string("verno-firmware-update ") + verno::ProgramVersion(),
                         "Print the program's version and exit");
    std::string firmware;
    app.add_option("--firmware", firmware, "The firmware file to use instead of the one the program looks for")
        ->type_name("FILE");
    app.allow_extras();
    app.allow_windows_style_options(false);  // a path starting with / is no option
    app.footer(std::string("The cable's port: VERNO_PORT=PATH names it when it is not found by its USB "
                           "identity.\n\n") +
               verno::PlacesHelp());
    try {
        std::reverse(args.begin(), args.end());  // CLI11 takes a vector from its end
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        status = app.exit(e);
        return std::nullopt;
    }
    CommandLine line;
    // Named on the command line: relative to where the user stands, not to the program.
    if (!firmware.empty()) line.firmware = std::filesystem::absolute(std::filesystem::u8path(firmware));
    return line;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // A window program has no console of its own: --help, --version and a wrong option answer in
    // the one it was started from, unless its output goes elsewhere already.
    const bool console = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (console && GetStdHandle(STD_OUTPUT_HANDLE) == nullptr) std::freopen("CONOUT$", "w", stdout);
    if (console && GetStdHandle(STD_ERROR_HANDLE) == nullptr) std::freopen("CONOUT$", "w", stderr);
#endif
    int status = 0;
    const auto line = ReadCommandLine(verno::platform::ProgramArguments(argc, argv), status);
    if (!line) return status;
#ifdef _WIN32
    // Attached, the console's Ctrl-C or its close would end the window in the middle of an update.
    if (console) FreeConsole();
#endif
    verno::app::TerminationSignals termination;  // before Qt starts a thread
    QCoreApplication::setApplicationName(QString::fromLatin1(kDesktopEntryId));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryId));
    QApplication app(argc, argv);
    // The tray icon is not a window: closing the wizard is the only way the program ends.
    QApplication::setQuitOnLastWindowClosed(false);
    verno::host::SystemHost host(std::nullopt, line->firmware);
    verno::shell::MessageBoxDialogs dialogs;
    verno::shell::MFUMain window(host, dialogs);
    termination.OnRequest([&window] { window.Wizard().CloseClick(); });
    if (!window.Load()) return 0;
    window.show();
    // For the start-up measurement of scripts/bench: leave as soon as the window is up, without
    // the Close handler (quit() would close the window and so run it).
    if (qEnvironmentVariable("VERNO_EXIT_WHEN_SHOWN") == QLatin1String("1"))
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
