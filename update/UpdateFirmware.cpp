#include "update/UpdateFirmware.h"

#include <optional>

#include "common/Text.h"
#include "update/DcIdentity.h"
#include "profile/BackupProfile.h"
#include "profile/RestoreProfile.h"
#include "common/TextNumbers.h"
#include "update/UploadCode.h"
#include "update/VerifyNewCode.h"
#include "update/VersionDecision.h"
#include "update/WaitForReset.h"
#include "common/RowIds.h"

namespace verno::update {

namespace {

constexpr link::Seconds kWaitArea1Only{12.0};
constexpr link::Seconds kWaitArea2{45.0};
constexpr link::Seconds kWaitBetweenAreas{10.0};


// Uploads the file's areas with their restart waits and the verification.
Verification RunUpload(Session& s) {
    const firmware::FirmwareImage& fw = s.Fw();
    link::CommModule& comm = s.Comm();
    if (fw.Area1Only()) {
        if (!UploadCode(s)) return Verification::Failed;
        WaitForReset(s, kWaitArea1Only);
        return VerifyNewCode(s);
    }
    if (fw.Area2Only()) {
        if (!UploadCode2(s)) return Verification::Failed;
        WaitForReset(s, kWaitArea2);
        return VerifyNewCode(s);
    }
    if (!UploadCode(s)) return Verification::Failed;
    WaitForReset(s, kWaitBetweenAreas);
    if (comm.ReadIdentity() != link::LinkStatus::Ok) {
        s.Fail(profile::Failure::DcNotAnswering);
        return Verification::Failed;
    }
    if (!UploadCode2(s)) return Verification::Failed;
    WaitForReset(s, kWaitArea2);
    return VerifyNewCode(s);
}

// Profile write-back, clock, end of the connection and the verdict; success is `done`.
UpdateResult Finish(Session& s, bool dcNotUpdated, UpdateResult done) {
    profile::ProfileState& st = s.Profile();
    // After a failure a saved profile stays in its backup file for the recovery: ProfileSafe has
    // been False since it was saved. A backup that failed saved nothing, and the DC still has it.
    if (st.Where() == profile::ProfileWhere::Saved && !s.AttemptFailed()) profile::RestoreProfile(s);
    // Counted only now, so that a DC that answers with old code still gets its profile back.
    if (dcNotUpdated) s.FailAttempt();

    s.SetDcClock();
    if (s.Comm().EndConnection() != link::LinkStatus::Ok) s.FailAttempt();

    if (s.AttemptFailed() || !st.ProfileSafe()) {
        s.Ui().InsertTaskList(TaskIcon::Error, s.Text(text::kUpdateFailed), "", row::kUpdateFailed);
        s.Ui().InsertTaskList(TaskIcon::Warning, s.Text(text::kUpdateFailedHint), "", row::kUpdateFailedHint);
        return UpdateResult::Failed;
    }
    s.Ui().InsertTaskList(TaskIcon::Warning, s.Text(text::kUpdateDone), "", row::kUpdateDone);
    return done;
}

// Closed at the question which profile goes back: nothing was sent, the saved profile waits.
UpdateResult Closed(Session& s) {
    s.Ui().ResetStage();
    static_cast<void>(s.Comm().EndConnection());
    return UpdateResult::Closed;
}

}  // namespace

std::string NotThisModel(WizardSurface& surface, const firmware::FirmwareImage& fw) {
    return surface.LoadText(text::kNotModel) + " " + Latin1ToUtf8(fw.FwModelName);
}

namespace {

// No code goes out; a profile that an earlier, interrupted update saved goes back now.
UpdateResult NoUpdateNeeded(Session& s) {
    profile::ProfileState& st = s.Profile();
    s.Ui().InsertTaskList(TaskIcon::Warning, s.Text(text::kNoUpdateNeeded), "", row::kNoUpdateNeeded);
    if (st.KeepProfile()) {
        profile::FoundBackup found = profile::GetBackupProfile(s);
        if (found.lookup == profile::BackupLookup::Found) {
            switch (profile::TakeFoundProfile(s, std::move(found))) {
                case profile::BackupOutcome::Reused: return Finish(s, false, UpdateResult::NoUpdateNeeded);
                case profile::BackupOutcome::Closed: return Closed(s);
                default: static_cast<void>(s.Comm().EndConnection()); return UpdateResult::Failed;
            }
        }
        if (found.lookup == profile::BackupLookup::Unusable) {
            s.Ui().InsertTaskList(TaskIcon::Warning,
                                  FillPlaceholders(s.Text(text::kBackupUnusable), found.record.file.string()), "",
                                  row::kBackupUnusable);
        }
        st.NothingToSave();
    }
    s.Ui().ResetStage();
    if (s.Comm().EndConnection() != link::LinkStatus::Ok) s.FailAttempt();
    return UpdateResult::NoUpdateNeeded;
}

// The DC's identity and revision; nullopt when it may be updated, else how the update ended.
std::optional<UpdateResult> RefusalOfDc(Session& s) {
    const IdentityCheck identity = CheckDcIdentityInRow(s);
    if (identity == IdentityCheck::NoAnswer) {
        s.Fail(profile::Failure::DcNotAnswering);
        return UpdateResult::NotAnswering;
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    if (identity == IdentityCheck::OtherModel) {
        s.Fail(profile::Failure::OtherModel, {NotThisModel(s.Ui(), s.Fw()) + "!"});
        return UpdateResult::OtherModel;
    }
    if (ReadsRevision(s.Fw())) s.DcRevisionRead(s.Comm().ReadRevision().revision);

    switch (DecideVersion(s.Fw(), s.DcVersion(), s.DcRevision())) {
        case VersionDecision::BelowRequired:
            s.Fail(profile::Failure::BelowRequired,
                   {NotThisModel(s.Ui(), s.Fw()) + ", " + s.Text(text::kVersionWord) + " " +
                    Latin1ToUtf8(s.Fw().RequiredVersion) + " " + s.Text(text::kBelowRequired)});
            return UpdateResult::BelowRequired;
        case VersionDecision::NewerRevision:
            s.Fail(profile::Failure::NewerRevision);
            return UpdateResult::NoUpdateNeeded;
        case VersionDecision::NoUpdateNeeded: return NoUpdateNeeded(s);
        case VersionDecision::Update: break;
    }
    return std::nullopt;
}

}  // namespace

UpdateResult UpdateFirmware(Session& s) {
    const firmware::FirmwareImage& fw = s.Fw();
    s.SetPriority(profile::kRealtimePriorityClass);
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kUpdateStart), "...", row::kUpdateStart);
    if (const auto refused = RefusalOfDc(s)) return *refused;

    s.Ui().InsertTaskList(
        TaskIcon::Warning,
        Latin1ToUtf8(fw.FwModelName) + ", " + s.Text(text::kVersionWord) + ": " +
            VersionText(s.DcVersion(), ReadsRevision(fw) ? std::optional<long>(s.DcRevision()) : std::nullopt),
        "", row::kDcAccepted);
    bool backupFailed = false;
    if (s.Profile().KeepProfile()) {
        const profile::BackupOutcome backup = profile::BackupProfile(s);
        if (backup == profile::BackupOutcome::Closed) return Closed(s);
        backupFailed = backup == profile::BackupOutcome::Refused || backup == profile::BackupOutcome::ReadFailed;
    }
    // Not even a block header goes to a DC whose profile could not be saved. From the first code
    // block until the profile is back and checked the system may not sleep.
    std::optional<profile::WritingDc> writing;
    if (!backupFailed) writing.emplace(s);
    const Verification verification = backupFailed ? Verification::Failed : RunUpload(s);
    return Finish(s, verification == Verification::NotUpdated, UpdateResult::Updated);
}

}  // namespace verno::update
