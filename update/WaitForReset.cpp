#include "update/WaitForReset.h"

#include "profile/TextNumbers.h"

namespace verno::update {

void WaitForReset(Session& s, link::Seconds seconds) {
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(profile::text::kWaitForReset), "...");
    const link::Seconds start = s.clock.Now();
    // Each pump blocks briefly on the event loop, so this never spins a core.
    do {
        s.pump.RunPending();
    } while (!(s.clock.Now() - start > seconds));
    s.surface.SetTaskStatus(s.Text(profile::text::kDone));
}

}  // namespace verno::update
