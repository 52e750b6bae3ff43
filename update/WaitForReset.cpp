#include "update/WaitForReset.h"

#include <cmath>
#include <string>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "link/protocol/Wait.h"

namespace verno::update {

void WaitForReset(Session& s, link::Seconds seconds) {
    // The status counts the whole seconds left, so that a wait of 45 s never looks frozen.
    const std::string left = s.Text(text::kSecondsLeft);
    const auto wholeSecondsLeft = [&](link::Seconds elapsed) {
        return static_cast<long>(std::ceil((seconds - elapsed).count()));
    };
    long shown = wholeSecondsLeft(link::Seconds(0));
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kWaitForReset),
                             FillPlaceholders(left, std::to_string(shown)));
    const link::Seconds start = s.clock.Now();
    // Each pump blocks briefly on the event loop, so this never spins a core.
    link::Wait(s.clock, s.pump, seconds).Until([&] {
        const long now = wholeSecondsLeft(s.clock.Now() - start);
        if (now < shown && now > 0) {
            shown = now;
            s.surface.SetTaskStatus(FillPlaceholders(left, std::to_string(shown)));
        }
        return false;
    });
    s.surface.SetTaskStatus(s.Text(text::kDone));
}

}  // namespace verno::update
