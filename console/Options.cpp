#include "console/Options.h"

#include <CLI/CLI.hpp>


namespace verno::console {

namespace {

const char* const kDescription =
    "Updates the firmware of the VERNO 1B dive computer on the interface cable, saving its\n"
    "profile (dive log and settings) before and writing it back afterwards.";

// The command line as CLI11 reads it; its help text is the program's.
struct CommandLine {
    CLI::App app{kDescription, "verno-update"};
    Options options;

    CommandLine() {
        app.set_help_flag("-h,--help", "Print this help and exit");
        app.add_flag("--version", options.version, "Print the program's version and exit");
        app.add_option("--port", options.port,
                       "The cable's serial device (else VERNO_PORT, else the cable is looked up by its USB identity)")
            ->type_name("PATH");
        app.add_option("--recover", recover,
                       "When the saved profile could not be written back: ask (default on a terminal), yes "
                       "(recover, at most --attempts tries), no (delete the saved profile), keep (default "
                       "otherwise: leave it on disk for the next run)")
            ->check(CLI::IsMember({"ask", "yes", "no", "keep"}).description(""))
            ->type_name("ask|yes|no|keep");
        app.add_option("--attempts", options.attempts, "Recovery attempts with --recover yes (default 3)")
            ->check(CLI::Range(1, 1000).description(""))
            ->type_name("N");
    }

    // After the parse: the mode named.
    void Finish() {
        if (recover == "ask") options.recover = RecoverMode::Ask;
        if (recover == "yes") options.recover = RecoverMode::Yes;
        if (recover == "no") options.recover = RecoverMode::No;
        if (recover == "keep") options.recover = RecoverMode::Keep;
    }

    std::string recover;
};

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    CommandLine line;
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
        line.app.parse(reversed);
        line.Finish();
    } catch (const CLI::CallForHelp&) {
        line.options.help = true;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    return line.options;
}

std::string Help() {
    CommandLine line;
    line.app.footer(std::string(PlacesHelp()) +
                    "\n\nExit status: 0 updated or no update needed; 1 the dive computer did not answer, is\n"
                    "another model, or the update failed; 2 start-up failed.");
    return line.app.help();
}

}  // namespace verno::console
