#include "console/Options.h"

#include <CLI/CLI.hpp>

#include "common/Places.h"
#include "host/WrappedHelp.h"

namespace verno::console {

namespace {

const char* const kDescription =
    "Updates the firmware of the VERNO 1B dive computer on the interface cable, saving its\n"
    "profile (dive log and settings) before and writing it back afterwards. Given several\n"
    "cables, it updates them all at once, each on its own, and ends with a summary.";

const char* const kModes[] = {"ask", "yes", "no", "keep"};

// The command line as CLI11 reads it; its help text is the program's.
struct CommandLine {
    CLI::App app{kDescription, "verno-update"};
    Options options;
    std::string recover;
    std::string logFolder;
    std::string restoreFrom;
    std::string restore;
    std::string firmware;

    CommandLine() {
        host::WrapHelp(app);  // 80 columns
        // A path such as /dev/ttyUSB0 is an argument on every system, never an option "/dev".
        app.allow_windows_style_options(false);
        app.set_help_flag("-h,--help", "Print this help and exit");
        app.add_flag("-V,--version", options.version, "Print the program's version and exit");
        app.add_option("-p,--port", options.ports,
                       "A cable's serial device; give it once per cable (else VERNO_PORT, else the cable is looked "
                       "up by its USB identity)")
            ->type_name("PATH")
            ->expected(1)
            ->take_all();
        app.add_flag("-a,--all", options.all, "Every attached cable (USB 0403:F460), each updated on its own");
        app.add_option("--recover", recover,
                       "When the saved profile could not be written back: ask (default on a terminal, one cable "
                       "only), yes (recover, at most --attempts tries), no (discard the saved profile; the "
                       "history keeps a copy), keep (default otherwise: leave it on disk for the next run)")
            ->check(CLI::IsMember({"ask", "yes", "no", "keep"}).description(""))
            ->type_name("ask|yes|no|keep");
        app.add_option("--attempts", options.attempts, "Recovery attempts with --recover yes (default 3)")
            ->check(CLI::Range(1, 1000).description(""))
            ->type_name("N");
        app.add_flag("-j,--json", options.json,
                     "One JSON object per line on standard output (rows, progress, a result per cable) instead "
                     "of text; messages go to standard error");
        app.add_flag("-c,--check", options.check,
                     "Read the dive computer's identity, versions, serial number and profile size, say whether "
                     "the firmware file would update it, and end; nothing is written to it, nor to disk but "
                     "the --log file");
        app.add_option("--log", logFolder,
                       "Write a log file per cable and run to DIR, named DATE-TIME-SERIAL.log, for support")
            ->type_name("DIR");
        app.add_flag("--trace", options.trace, "With --log: every byte on the wire too, with its time");
        app.add_option("--restore-from", restoreFrom,
                       "When the dive computer's profile changed since a kept backup of it was saved: which one "
                       "goes back after the update (both are kept); asked on a terminal, else saved")
            ->check(CLI::IsMember({"present", "saved"}).description(""))
            ->type_name("present|saved");
        app.add_flag("--history", options.history,
                     "List the profiles kept in the history folder (serial number, date read, blocks, firmware "
                     "version), with --json as JSON lines, and end");
        app.add_option("--serial", options.serial, "With --history or --prune-history: that dive computer's only")
            ->check(CLI::Range(0, 999999).description(""))
            ->type_name("N");
        app.add_flag("--prune-history", options.pruneHistory,
                     "Remove all but the newest --keep history files of each dive computer (never its newest), "
                     "and end");
        app.add_option("--keep", options.keep, "With --prune-history: how many of each to keep (default 10)")
            ->check(CLI::Range(1, 1000000).description(""))
            ->type_name("N");
        app.add_option("--restore", restore,
                       "Write the profile in FILE (a history file or a kept backup) back into the attached dive "
                       "computer it was read from, after one confirmation; the file is kept")
            ->type_name("FILE");
        app.add_flag("-y,--yes", options.yes, "With --restore: the confirmation given in advance, for scripts");
        app.add_option("--firmware", firmware, "The firmware file to use instead of the one the program looks for")
            ->type_name("FILE");
    }

    // After the parse: the mode and the folder named.
    void Finish() {
        for (int m = 0; m < 4; ++m)
            if (recover == kModes[m]) options.recover = static_cast<RecoverMode>(m);
        // The arguments are UTF-8, which a path on Windows takes only through u8path.
        if (!logFolder.empty()) options.logFolder = std::filesystem::u8path(logFolder);
        if (!restoreFrom.empty()) options.restoreFrom = restoreFrom == "saved" ? RestoreFrom::Saved : RestoreFrom::Present;
        if (!restore.empty()) options.restore = std::filesystem::u8path(restore);
        // Absolute: each cable of a bench runs the same file whatever its working folder.
        if (!firmware.empty()) options.firmware = std::filesystem::absolute(std::filesystem::u8path(firmware));
    }
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
        return line.options;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    const Options& o = line.options;
    if (o.trace && !o.logFolder) error = "--trace goes with --log";
    if (o.all && !o.ports.empty()) error = "--all and --port name the cables twice";
    if (o.ManyCables() && o.recover == RecoverMode::Ask) error = "--recover ask takes one cable: nobody could answer for the others";
    if (o.restore && (o.ManyCables() || o.check)) error = "--restore takes one cable and no --check";
    if (o.yes && !o.restore) error = "--yes goes with --restore";
    if (o.serial && !o.history && !o.pruneHistory) error = "--serial goes with --history or --prune-history";
    if (o.keep && !o.pruneHistory) error = "--keep goes with --prune-history";
    if (!error.empty()) return std::nullopt;
    return o;
}

std::string Help() {
    CommandLine line;
    line.app.footer(std::string(PlacesHelp()) +
                    "\n\nExit status: 0 every dive computer updated, or needed no update (with --check: every one "
                    "answered and is of the firmware file's model);\n1 a dive computer did not answer, is another "
                    "model, or its update failed; 2 start-up failed, or --all found no cable; 130 Ctrl-C (128 + the "
                    "signal's number).");
    return line.app.help();
}

std::vector<std::string> OneCableArguments(const Options& o, const std::string& port) {
    std::vector<std::string> args = {"--port", port, "--json", "--attempts", std::to_string(o.attempts)};
    if (o.recover) args.insert(args.end(), {"--recover", kModes[static_cast<int>(*o.recover)]});
    if (o.check) args.push_back("--check");
    if (o.logFolder) args.insert(args.end(), {"--log", o.logFolder->string()});
    if (o.trace) args.push_back("--trace");
    if (o.firmware) args.insert(args.end(), {"--firmware", o.firmware->string()});
    if (o.restoreFrom) args.insert(args.end(), {"--restore-from", *o.restoreFrom == RestoreFrom::Saved ? "saved" : "present"});
    return args;
}

}  // namespace verno::console
