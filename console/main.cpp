#include <QCoreApplication>

#include <iostream>

#include "common/Version.h"
#include "console/ConsoleApp.h"
#include "console/Options.h"
#include "console/Terminal.h"
#include "console/Workbench.h"
#include "platform/ProgramArguments.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args = verno::platform::ProgramArguments(argc, argv);
    verno::console::PrepareConsole();
    std::string error;
    const auto options = verno::console::ParseOptions(args, error);
    if (!options) {
        std::cerr << "verno-update: " << error << "\nTry verno-update --help.\n";
        return verno::wizard::kExitStartUpFailed;
    }
    if (options->help) {
        std::cout << verno::console::Help();
        return 0;
    }
    if (options->version) {
        std::cout << "verno-update " << verno::ProgramVersion() << "\n";
        return 0;
    }
    QCoreApplication app(argc, argv);
    // Many cables: the bench's writes are restarted (its wait for the cables' lines is
    // interrupted all the same).
    verno::console::HandleCloseRequests(options->ManyCables());
    if (options->ManyCables()) return verno::console::RunWorkbench(*options);
    verno::console::ConsoleApp consoleApp(*options);
    consoleApp.Run();
}
