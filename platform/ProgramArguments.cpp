#include "platform/ProgramArguments.h"

#include <algorithm>

namespace verno::platform {

std::vector<std::string> WithHelpAsked(std::vector<std::string> args) {
    std::replace(args.begin(), args.end(), std::string("/?"), std::string("--help"));
    return args;
}

}  // namespace verno::platform
