#pragma once
// The command line's arguments after the program's name, in UTF-8. On Windows argv is in the
// ANSI code page, which cannot hold every path; the wide command line can.

#include <string>
#include <vector>

namespace verno::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace verno::platform
