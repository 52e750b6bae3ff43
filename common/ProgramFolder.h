#pragma once

#include <filesystem>

namespace verno {

// The folder that holds the running program file, found from the program's own path (never
// from the working directory). Every file the program reads or writes lies in it.
std::filesystem::path ProgramFolder();
// The running program's own file; empty when the system cannot tell.
std::filesystem::path ProgramFile();

// Whether the program may create files in the folder, found by creating and removing one.
bool FolderWritable(const std::filesystem::path& folder);

}  // namespace verno
