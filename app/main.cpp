// FirmwareUpdate: the firmware update wizard for the VERNO 1B dive computer.

#include <QApplication>

#include "shell/wizard.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The tray icon is not a window: closing the wizard is the only way the program ends.
    QApplication::setQuitOnLastWindowClosed(false);
    verno::shell::DesktopFrontEnd frontEnd;
    verno::shell::MFUMain window(frontEnd);
    if (!window.Load()) return 0;
    window.show();
    return QApplication::exec();
}
