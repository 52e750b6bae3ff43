#pragma once

#include "update/Session.h"

namespace verno::update {

// Lets the DC restart with its new code: more than the given time passes on the monotonic clock
// while pending notifications keep running. Nothing is sent meanwhile.
void WaitForReset(Session& s, link::Seconds seconds);

}  // namespace verno::update
