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

// Which profile goes back when the DC's profile changed since a kept backup was saved.
enum class RestoreFrom { Present, Saved };

struct Options {
    std::vector<std::string> ports;      // --port, once per cable
    bool all = false;                    // every attached cable
    std::optional<RecoverMode> recover;  // default: Ask on a terminal, Keep otherwise
    int attempts = 3;
    bool json = false;
    bool check = false;
    std::optional<std::filesystem::path> logFolder;
    bool trace = false;  // with --log: every byte on the wire
    std::optional<RestoreFrom> restoreFrom;  // default: ask on a terminal, else the saved one
    bool history = false;                    // list the profiles kept in the history
    std::optional<int> serial;               // the history of one DC only
    bool pruneHistory = false;               // remove all but the newest `keep` of each DC's history
    std::optional<int> keep;                 // default 10
    std::optional<std::filesystem::path> restore;  // write this profile file into the DC
    bool yes = false;                        // --restore confirmed in advance
    std::optional<std::filesystem::path> firmware;  // instead of the one the places give
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
