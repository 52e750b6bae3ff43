#include <QCoreApplication>

#include <csignal>
#include <iostream>

#include "console/ConsoleApp.h"
#include "console/Options.h"

namespace {
extern "C" void OnInterrupt(int) { verno::console::ConsoleApp::RequestClose(); }
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = verno::console::ParseOptions(args, error);
    if (!options) {
        std::cerr << "verno-update: " << error << "\n" << verno::console::kUsage;
        return verno::wizard::kExitStartUpFailed;
    }
    if (options->help) {
        std::cout << verno::console::kUsage;
        return 0;
    }
    // Ctrl-C works as the Close button: the saved profile is not abandoned silently.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    verno::console::ConsoleApp consoleApp(*options);
    consoleApp.Run();
}
