#include "platform/StartProgram.h"

#include <spawn.h>
#include <sys/types.h>

#include <string>

extern char** environ;

namespace verno::platform {

void StartProgram(const std::filesystem::path& program) {
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t child = 0;
    // The wizard ends right after; the follow-up program then belongs to init.
    posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ);
}

}  // namespace verno::platform
