#include "profile/ProfileSession.h"

#include <utility>

#include "common/TextNumbers.h"

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

void ProfileSession::FailStep(const std::string& failureRow) {
    attemptFailed = true;
    surface.SetTaskStatus(Text(text::kFailed));
    surface.InsertTaskList(TaskIcon::Error, failureRow, "");
    surface.ResetStage();
}

void ProfileSession::SetDcClock() {
    const LocalDateTime now = wallClock.Now();
    const link::LinkStatus set = comm.SetDateTime(FormatDate(now), FormatTime(now), link::wire::kClockExtraByte);
    if (set == link::LinkStatus::Refused)
        surface.InsertTaskList(TaskIcon::Warning, Text(text::kClockNotSet), "");
    else if (set != link::LinkStatus::Ok)
        attemptFailed = true;
}

}  // namespace verno::profile
