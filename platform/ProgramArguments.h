#pragma once
// The command line's arguments after the program's name, in UTF-8. On Windows argv is in the
// ANSI code page, which cannot hold every path; the wide command line can. Windows' own way to
// ask a program for help, /?, is taken as --help on both systems.

#include <string>
#include <vector>

namespace verno::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv);

// /? replaced by --help.
std::vector<std::string> WithHelpAsked(std::vector<std::string> args);

}  // namespace verno::platform
