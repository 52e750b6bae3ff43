#include <QCoreApplication>

#include <csignal>
#include <iostream>

#include "common/Version.h"
#include "console/ConsoleApp.h"
#include "console/Options.h"
#include "console/Workbench.h"

namespace {

extern "C" void OnCloseSignal(int signal) { verno::console::ConsoleApp::RequestClose(signal); }
extern "C" void OnWorkbenchSignal(int signal) { verno::console::RequestWorkbenchStop(signal); }

// Ctrl-C, a hang-up and a termination request work as the Close button: the saved profile is
// never abandoned silently. One cable: no SA_RESTART, so that a question waiting for its answer
// is interrupted. Many: the parent's writes are restarted (its wait for the cables' lines is
// interrupted all the same). A closed output must never stop an update.
void HandleSignals(void (*handler)(int), bool restart) {
    struct sigaction close {};
    close.sa_handler = handler;
    close.sa_flags = restart ? SA_RESTART : 0;
    sigemptyset(&close.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &close, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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
    if (options->ManyCables()) {
        HandleSignals(OnWorkbenchSignal, true);
        return verno::console::RunWorkbench(*options);
    }
    HandleSignals(OnCloseSignal, false);
    verno::console::ConsoleApp consoleApp(*options);
    consoleApp.Run();
}
