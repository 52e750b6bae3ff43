#include "update/WaitForReset.h"

#include "common/TextNumbers.h"

namespace verno::update {

void WaitForReset(Session& s, link::Seconds seconds) {
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kWaitForReset), "...");
    const link::Seconds start = s.clock.Now();
    // Each pump blocks briefly on the event loop, so this never spins a core.
    do {
        s.pump.RunPending();
    } while (!(s.clock.Now() - start > seconds));
    s.surface.SetTaskStatus(s.Text(text::kDone));
}

}  // namespace verno::update
