#pragma once

namespace verno {

// The program's version, from the one place the build sets it.
const char* ProgramVersion();

}  // namespace verno
