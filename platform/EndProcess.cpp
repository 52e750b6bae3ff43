#include "platform/EndProcess.h"

#include <cstdio>
#include <cstdlib>

namespace verno::platform {

void EndProcess(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

}  // namespace verno::platform
