#pragma once

#include <filesystem>

namespace verno::platform {

// Starts the program file without waiting for it; whether it started is not reported.
void StartProgram(const std::filesystem::path& program);

}  // namespace verno::platform
