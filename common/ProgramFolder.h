#pragma once

#include <filesystem>

namespace verno {

// The folder that holds the running program file, found from the program's own path (never
// from the working directory). Every file the program reads or writes lies in it.
std::filesystem::path ProgramFolder();

}  // namespace verno
