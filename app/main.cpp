// FirmwareUpdate (installed as verno-firmware-update): the firmware update wizard for the
// VERNO 1B dive computer.

#include <QApplication>
#include <QTimer>

#include <CLI/CLI.hpp>

#include <iostream>

#include "common/Version.h"
#include "host/SystemHost.h"
#include "shell/wizard.h"

namespace {

// --help and --version; Qt's own options (-platform, ...) pass through to it. False: end now
// with the status.
bool ReadCommandLine(int argc, char** argv, int& status) {
    CLI::App app{"The firmware update wizard for the VERNO 1B dive computer: it saves the dive computer's "
                 "profile, uploads the firmware over the USB interface cable and writes the profile back. It "
                 "takes no arguments; the window guides you.",
                 "verno-firmware-update"};
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::string("verno-firmware-update ") + verno::ProgramVersion(),
                         "Print the program's version and exit");
    app.allow_extras();
    app.footer(verno::PlacesHelp());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        status = app.exit(e);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = 0; !ReadCommandLine(argc, argv, status)) return status;
    QApplication app(argc, argv);
    // The tray icon is not a window: closing the wizard is the only way the program ends.
    QApplication::setQuitOnLastWindowClosed(false);
    verno::host::SystemHost host;
    verno::shell::MessageBoxDialogs dialogs;
    verno::shell::MFUMain window(host, dialogs);
    if (!window.Load()) return 0;
    window.show();
    // For the start-up measurement of scripts/bench: leave as soon as the window is up, without
    // the Close handler (quit() would close the window and so run it).
    if (qEnvironmentVariable("VERNO_EXIT_WHEN_SHOWN") == QLatin1String("1"))
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
