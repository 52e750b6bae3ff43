#include "update/VerifyNewCode.h"

#include <algorithm>
#include <string_view>

#include "common/Text.h"
#include "firmware/Identity.h"
#include "common/TextNumbers.h"

namespace verno::update {

namespace {

std::string VersionWithRevision(const std::string& version, std::uint8_t revision) {
    return Latin1ToUtf8(version) + "." + TwoDigitNumber(revision);
}

}  // namespace

bool IdentityCarriesVersion(const std::string& identityText) {
    return std::count(identityText.begin(), identityText.end(), ' ') + 1 <= 4;
}

Verification VerifyNewCode(Session& s) {
    link::CommModule& comm = s.comm;
    WizardSurface& ui = s.surface;
    const firmware::FirmwareImage& fw = s.fw;

    ui.InsertTaskList(TaskIcon::Information, s.Text(text::kVerifyStart), "...");
    if (comm.ReadIdentity() != link::LinkStatus::Ok) {
        comm.TransferFailed = true;
        s.FailStep(text::kDcNotAnswering);
        return Verification::Failed;
    }
    ui.SetTaskStatus(s.Text(text::kDone));
    if (!firmware::CheckIdentity(comm.IdentityText, fw, s.DcVersion)) {
        ui.InsertTaskList(TaskIcon::Error, s.Text(text::kVerifyWrongModel), "");
        comm.EndConnection();
        comm.TransferFailed = true;  // after EndConnection, which clears it
        ui.ResetStage();
        return Verification::Failed;
    }

    const std::string_view dcVersion = s.DcVersion;
    const std::string_view fwVersion = fw.FwVersion;
    bool confirmed = false;
    bool revisionBelow = false;
    if (fw.Area1Only()) {
        confirmed = dcVersion >= fwVersion;
    } else {
        s.DcRevision = comm.ReadRevision().revision;
        revisionBelow = s.DcRevision < fw.FwRevision;
        confirmed = !revisionBelow && (fw.Area2Only() || dcVersion >= fwVersion);
    }

    Verification result = Verification::Confirmed;
    if (confirmed) {
        ui.InsertTaskList(TaskIcon::Warning, s.Text(text::kVerifyNewCode), "");
    } else if (!revisionBelow && !IdentityCarriesVersion(comm.IdentityText)) {
        // Only the version was compared, and it is the one from before the update.
        ui.InsertTaskList(TaskIcon::Warning, s.Text(text::kVersionUnchecked), "");
        result = Verification::NotChecked;
    } else {
        const bool withRevision = !fw.Area1Only();
        const std::string reported = withRevision ? VersionWithRevision(s.DcVersion, s.DcRevision) : Latin1ToUtf8(s.DcVersion);
        const std::string expected = withRevision ? VersionWithRevision(fw.FwVersion, fw.FwRevision) : Latin1ToUtf8(fw.FwVersion);
        ui.InsertTaskList(TaskIcon::Error, FillPlaceholders(s.Text(text::kVersionMismatch), reported, expected), "");
        result = Verification::NotUpdated;
    }

    if (!s.profile.KeepProfile()) s.SetDcClock();
    ui.ResetStage();
    return result;
}

}  // namespace verno::update
