#include "profile/ProfileSession.h"

#include <utility>

#include "common/RowIds.h"
#include "common/Text.h"
#include "common/TextNumbers.h"

namespace verno::profile {

ProfileSession::ProfileSession(link::CommModule& comm, const firmware::FirmwareImage& fw, WizardSurface& surface,
                               const WallClock& wallClock, platform::FileSystem& fs, std::filesystem::path backupFolder,
                               PrioritySetter setPriority)
    : comm_(comm),
      fw_(fw),
      surface_(surface),
      wallClock_(wallClock),
      files_(fs),
      backupFolder_(std::move(backupFolder)),
      setPriority_(std::move(setPriority)) {}

void ProfileSession::HoldAwake() {
    if (awakeHolds_++ == 0) awake_->Hold(Text(text::kWritingDcMemory));
}

void ProfileSession::ReleaseAwake() {
    if (--awakeHolds_ == 0) awake_->Release();
}

void ProfileSession::DcIdentified(std::string identity, std::string version) {
    identity_ = std::move(identity);
    // An identity that carries no version leaves the one known so far.
    if (!version.empty()) dcVersion_ = std::move(version);
}

void ProfileSession::Fail(Failure failure, std::initializer_list<std::string_view> values) {
    // What looks like a DC that stopped answering was the cable, gone from the computer.
    if (comm_.CableGone() && (failure == Failure::DcNotAnswering || failure == Failure::BackupNotRead ||
                              failure == Failure::DataNotAccepted || failure == Failure::HeaderMismatch))
        failure = Failure::CableGone;
    const FailureRows rows = RowsOf(failure);
    attemptFailed_ = true;
    if (rows.marksStatus) surface_.SetTaskStatus(Text(text::kFailed));
    const std::string row = rows.text != 0 ? FillPlaceholders(Text(rows.text), values)
                                           : std::string(values.size() > 0 ? *values.begin() : std::string_view());
    surface_.InsertTaskList(rows.icon, row, "", rows.id);
    if (rows.endsConnection) static_cast<void>(comm_.EndConnection());
    surface_.ResetStage();
}

void ProfileSession::SetDcClock() {
    const LocalDateTime now = wallClock_.Now();
    const link::LinkStatus set = comm_.SetDateTime(FormatDate(now), FormatTime(now), link::wire::kClockExtraByte);
    if (set == link::LinkStatus::Refused)
        surface_.InsertTaskList(TaskIcon::Warning, Text(text::kClockNotSet), "", row::kClockNotSet);
    else if (set != link::LinkStatus::Ok)
        attemptFailed_ = true;
}

std::vector<KeptFile> ProfileSession::FilesKept() {
    std::vector<KeptFile> files = profile_.FilesKept();
    std::erase_if(files, [this](const KeptFile& k) { return files_.Fs().Look(k.file).kind != platform::FileKind::File; });
    return files;
}

HistoryCopy ProfileSession::KeepInHistory(const ProfileImage& image, HistoryMatch match) {
    return profile::KeepInHistory(files_, backupFolder_, image, DcRuns(), std::chrono::system_clock::now(), match);
}

bool ProfileSession::RemoveSourceWithCopyInHistory(int noCopy) {
    // Two DCs of one serial number must not leave a profile in the wrong watch alone.
    const HistoryCopy copy = KeepInHistory(profile_.Image(), HistoryMatch::Any);
    if (copy.error) {
        surface_.InsertTaskList(TaskIcon::Warning,
                                FillPlaceholders(Text(noCopy), profile_.Source().file.string(), copy.error.message()), "",
                                row::kHistoryNotWritten);
        return false;
    }
    return files_.RemoveIfUnchanged(profile_.Source());
}

}  // namespace verno::profile
