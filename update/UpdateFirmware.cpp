#include "update/UpdateFirmware.h"

#include "common/Text.h"
#include "firmware/Identity.h"
#include "profile/BackupProfile.h"
#include "profile/RestoreProfile.h"
#include "common/TextNumbers.h"
#include "update/UploadCode.h"
#include "update/VerifyNewCode.h"
#include "update/VersionDecision.h"
#include "update/WaitForReset.h"

namespace verno::update {

namespace {

constexpr link::Seconds kWaitArea1Only{12.0};
constexpr link::Seconds kWaitArea2{45.0};
constexpr link::Seconds kWaitBetweenAreas{10.0};

void DcNotAnswering(Session& s) {
    s.comm.TransferFailed = true;
    s.FailStep(text::kDcNotAnswering);
}

// Refusals after the DC has been heard: the connection is closed first, then the failure is
// recorded, since EndConnection clears TransferFailed.
void RefuseAndClose(Session& s, TaskIcon icon, const std::string& event) {
    s.surface.InsertTaskList(icon, event, "");
    s.comm.EndConnection();
    s.comm.TransferFailed = true;
    s.surface.ResetStage();
}

// Uploads the file's areas with their restart waits and the verification.
Verification RunUpload(Session& s) {
    const firmware::FirmwareImage& fw = s.fw;
    link::CommModule& comm = s.comm;
    if (fw.Area1Only()) {
        UploadCode(s);
        if (comm.TransferFailed) return Verification::Failed;
        WaitForReset(s, kWaitArea1Only);
        return VerifyNewCode(s);
    }
    if (fw.Area2Only()) {
        UploadCode2(s);
        if (comm.TransferFailed) return Verification::Failed;
        WaitForReset(s, kWaitArea2);
        return VerifyNewCode(s);
    }
    UploadCode(s);
    if (comm.TransferFailed) return Verification::Failed;
    WaitForReset(s, kWaitBetweenAreas);
    if (comm.ReadIdentity() != link::LinkStatus::Ok) {
        DcNotAnswering(s);
        return Verification::Failed;
    }
    UploadCode2(s);
    if (comm.TransferFailed) return Verification::Failed;
    WaitForReset(s, kWaitArea2);
    return VerifyNewCode(s);
}

// Profile write-back, clock, end of the connection and the verdict; success is `done`.
UpdateResult Finish(Session& s, bool dcNotUpdated, UpdateResult done) {
    link::CommModule& comm = s.comm;
    profile::ProfileState& st = s.profile;
    // After a failure a saved profile stays in its backup file for the recovery: ProfileSafe has
    // been False since it was saved. A backup that failed saved nothing, and the DC still has it.
    if (st.where == profile::ProfileWhere::Saved && !comm.TransferFailed) profile::RestoreProfile(s);
    // Counted only now, so that a DC that answers with old code still gets its profile back.
    if (dcNotUpdated) comm.TransferFailed = true;

    s.SetDcClock();
    const bool failedBefore = comm.TransferFailed;
    comm.EndConnection();
    comm.TransferFailed = comm.TransferFailed || failedBefore;

    if (comm.TransferFailed || !st.ProfileSafe()) {
        s.surface.InsertTaskList(TaskIcon::Error, s.Text(text::kUpdateFailed), "");
        s.surface.InsertTaskList(TaskIcon::Warning, s.Text(text::kUpdateFailedHint), "");
        return UpdateResult::Failed;
    }
    s.surface.InsertTaskList(TaskIcon::Warning, s.Text(text::kUpdateDone), "");
    return done;
}

}  // namespace

std::string NotThisModel(WizardSurface& surface, const firmware::FirmwareImage& fw) {
    return surface.LoadText(text::kNotModel) + " " + Latin1ToUtf8(fw.FwModelName);
}

UpdateResult UpdateFirmware(Session& s) {
    link::CommModule& comm = s.comm;
    WizardSurface& ui = s.surface;
    const firmware::FirmwareImage& fw = s.fw;
    profile::ProfileState& st = s.profile;
    const std::string modelName = Latin1ToUtf8(fw.FwModelName);

    s.setPriority(profile::kRealtimePriorityClass);
    ui.InsertTaskList(TaskIcon::Information, s.Text(text::kUpdateStart), "...");

    if (comm.ReadIdentity() != link::LinkStatus::Ok) {
        DcNotAnswering(s);
        return UpdateResult::NotAnswering;
    }
    ui.SetTaskStatus(s.Text(text::kDone));
    if (!firmware::CheckIdentity(comm.IdentityText, fw, s.DcVersion)) {
        ui.InsertTaskList(TaskIcon::Error, NotThisModel(ui, fw) + "!", "");
        comm.TransferFailed = true;
        ui.ResetStage();
        return UpdateResult::OtherModel;
    }
    if (ReadsRevision(fw)) s.DcRevision = comm.ReadRevision().revision;
    s.dcFirmware = {s.DcVersion, s.DcRevision};

    switch (DecideVersion(fw, s.DcVersion, s.DcRevision)) {
        case VersionDecision::BelowRequired:
            RefuseAndClose(s, TaskIcon::Error,
                           NotThisModel(ui, fw) + ", " + s.Text(text::kVersionWord) + " " +
                               Latin1ToUtf8(fw.RequiredVersion) + " " + s.Text(text::kBelowRequired));
            return UpdateResult::BelowRequired;
        case VersionDecision::NewerRevision:
            RefuseAndClose(s, TaskIcon::Warning, s.Text(text::kNoUpdateNeeded));
            return UpdateResult::NoUpdateNeeded;
        case VersionDecision::NoUpdateNeeded: {
            ui.InsertTaskList(TaskIcon::Warning, s.Text(text::kNoUpdateNeeded), "");
            if (st.KeepProfile()) {
                const profile::BackupLookup lookup = profile::GetBackupProfile(s);
                // The saved profile of an earlier, interrupted update goes back now.
                if (lookup == profile::BackupLookup::Found || lookup == profile::BackupLookup::FoundChanged) {
                    if (profile::TakeFoundProfile(s, lookup) == profile::BackupOutcome::Reused)
                        return Finish(s, false, UpdateResult::NoUpdateNeeded);
                    comm.EndConnection();
                    comm.TransferFailed = true;
                    return UpdateResult::Failed;
                }
                if (profile::IsUnusable(lookup)) {
                    ui.InsertTaskList(TaskIcon::Warning,
                                      FillPlaceholders(s.Text(text::kBackupUnusable), st.BackupFilePath.string()),
                                      "");
                }
                st.where = profile::ProfileWhere::NotSaved;
            }
            ui.ResetStage();
            comm.EndConnection();
            return UpdateResult::NoUpdateNeeded;
        }
        case VersionDecision::Update:
            break;
    }

    std::string accepted = modelName + ", " + s.Text(text::kVersionWord) + ": " + Latin1ToUtf8(s.DcVersion);
    if (ReadsRevision(fw)) accepted += "." + TwoDigitNumber(s.DcRevision);
    ui.InsertTaskList(TaskIcon::Warning, accepted, "");

    bool backupFailed = false;
    if (st.KeepProfile()) {
        const profile::BackupOutcome backup = profile::BackupProfile(s);
        backupFailed = backup == profile::BackupOutcome::Refused || backup == profile::BackupOutcome::ReadFailed;
    }

    // Not even a block header goes to a DC whose profile could not be saved.
    const Verification verification = backupFailed ? Verification::Failed : RunUpload(s);
    return Finish(s, verification == Verification::NotUpdated, UpdateResult::Updated);
}

}  // namespace verno::update
