#pragma once
// verno-update's command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace verno::console {

// What to answer when the profile recovery asks.
enum class RecoverMode {
    Ask,   // ask the user at the terminal
    Yes,   // recover: Yes, then OK to each instruction page, at most `attempts` times
    No,    // answer No: the backup file is deleted
    Keep,  // leave the backup file on disk and end without talking to the DC
};

struct Options {
    std::vector<std::string> ports;      // --port, once per cable
    bool all = false;                    // every attached cable
    std::optional<RecoverMode> recover;  // default: Ask on a terminal, Keep otherwise
    int attempts = 3;
    bool json = false;
    bool check = false;
    std::optional<std::filesystem::path> logFolder;
    bool trace = false;  // with --log: every byte on the wire
    bool help = false;
    bool version = false;

    // More than one cable: each runs in a process of its own.
    bool ManyCables() const { return all || ports.size() > 1; }
};

// nullopt with error set when the arguments are not understood.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string Help();

// The arguments that make one of the processes of a many-cable run update the cable on port.
std::vector<std::string> OneCableArguments(const Options& options, const std::string& port);

}  // namespace verno::console
