#include "profile/ProfileSession.h"

#include <utility>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "common/RowIds.h"

namespace verno::profile {

ProfileSession::ProfileSession(link::CommModule& commModule, const firmware::FirmwareImage& image,
                               WizardSurface& frontEnd, const WallClock& pcClock, std::filesystem::path folder,
                               PrioritySetter prioritySetter)
    : comm(commModule),
      fw(image),
      surface(frontEnd),
      wallClock(pcClock),
      backupFolder(std::move(folder)),
      setPriority(std::move(prioritySetter)) {}

void ProfileSession::Fail(Failure failure, std::initializer_list<std::string_view> values) {
    const FailureRows rows = RowsOf(failure);
    attemptFailed = true;
    if (rows.marksStatus) surface.SetTaskStatus(Text(text::kFailed));
    const std::string row = rows.text != 0 ? FillPlaceholders(Text(rows.text), values)
                                           : std::string(values.size() > 0 ? *values.begin() : std::string_view());
    surface.InsertTaskList(rows.icon, row, "", rows.id);
    if (rows.endsConnection) static_cast<void>(comm.EndConnection());
    surface.ResetStage();
}

void ProfileSession::SetDcClock() {
    const LocalDateTime now = wallClock.Now();
    const link::LinkStatus set = comm.SetDateTime(FormatDate(now), FormatTime(now), link::wire::kClockExtraByte);
    if (set == link::LinkStatus::Refused)
        surface.InsertTaskList(TaskIcon::Warning, Text(text::kClockNotSet), "", row::kClockNotSet);
    else if (set != link::LinkStatus::Ok)
        attemptFailed = true;
}

}  // namespace verno::profile
