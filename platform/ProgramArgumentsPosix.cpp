#include "platform/ProgramArguments.h"

namespace verno::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) { return WithHelpAsked({argv + 1, argv + argc}); }

}  // namespace verno::platform
