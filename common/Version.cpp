#include "common/Version.h"

namespace verno {

const char* ProgramVersion() { return VERNO_VERSION; }

}  // namespace verno
