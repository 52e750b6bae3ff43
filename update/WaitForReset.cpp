#include "update/WaitForReset.h"

#include <cmath>
#include <string>

#include "common/Text.h"
#include "common/RowIds.h"
#include "common/TextNumbers.h"
#include "link/protocol/Wait.h"

namespace verno::update {

void WaitForReset(Session& s, link::Seconds seconds) {
    // The status counts the whole seconds left, so that a wait of 45 s never looks frozen.
    const std::string left = s.Text(text::kSecondsLeft);
    link::Wait wait(s.Clock(), s.Pump(), seconds);
    const auto wholeSecondsLeft = [&wait] { return static_cast<long>(std::ceil(wait.Left().count())); };
    long shown = wholeSecondsLeft();
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kWaitForReset),
                             FillPlaceholders(left, std::to_string(shown)), row::kWaitForReset);
    // Each pump blocks briefly on the event loop, so this never spins a core.
    wait.Until([&] {
        const long now = wholeSecondsLeft();
        if (now < shown && now > 0) {
            shown = now;
            s.Ui().SetTaskStatus(FillPlaceholders(left, std::to_string(shown)));
        }
        return false;
    });
    s.Ui().SetTaskStatus(s.Text(text::kDone));
}

}  // namespace verno::update
