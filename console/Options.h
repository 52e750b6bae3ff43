#pragma once
// verno-update's command line.

#include <optional>
#include <string>
#include <vector>

#include "common/Places.h"

namespace verno::console {

// What to answer when the profile recovery asks.
enum class RecoverMode {
    Ask,   // ask the user at the terminal
    Yes,   // recover: Yes, then OK to each instruction page, at most `attempts` times
    No,    // answer No: the backup file is deleted
    Keep,  // leave the backup file on disk and end without talking to the DC
};

struct Options {
    std::optional<std::string> port;
    std::optional<RecoverMode> recover;  // default: Ask on a terminal, Keep otherwise
    int attempts = 3;
    bool help = false;
    bool version = false;
};

// nullopt with error set when the arguments are not understood.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string Help();

}  // namespace verno::console
