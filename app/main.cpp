// FirmwareUpdate: the firmware update wizard for the VERNO 1B dive computer.

#include <QApplication>
#include <QTimer>

#include "host/SystemHost.h"
#include "shell/wizard.h"

int main(int argc, char** argv) {
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
