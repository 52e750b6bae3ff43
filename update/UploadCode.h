#pragma once

#include "update/Session.h"

namespace verno::update {

// Sends code area 1 block by block (0xB5) and closes it with 0xB6 and the area's sum. Returns
// True when the area was written and closed.
bool UploadCode(Session& s);

// Sends code area 2 (0xB7) and closes it with 0xB8 and the area word, then 0xB9 and the sum.
bool UploadCode2(Session& s);

}  // namespace verno::update
