#include "update/WaitForReset.h"

#include "common/TextNumbers.h"
#include "link/protocol/Wait.h"

namespace verno::update {

void WaitForReset(Session& s, link::Seconds seconds) {
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kWaitForReset), "...");
    // Each pump blocks briefly on the event loop, so this never spins a core.
    link::Wait(s.clock, s.pump, seconds).RunOut();
    s.surface.SetTaskStatus(s.Text(text::kDone));
}

}  // namespace verno::update
