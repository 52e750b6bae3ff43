#include "update/VerifyNewCode.h"

#include <algorithm>
#include <string_view>

#include "common/Text.h"
#include "update/DcIdentity.h"
#include "common/TextNumbers.h"
#include "common/RowIds.h"

namespace verno::update {

bool IdentityCarriesVersion(const std::string& identityText) {
    return std::count(identityText.begin(), identityText.end(), ' ') + 1 <= 4;
}

Verification VerifyNewCode(Session& s) {
    link::CommModule& comm = s.Comm();
    WizardSurface& ui = s.Ui();
    const firmware::FirmwareImage& fw = s.Fw();

    ui.InsertTaskList(TaskIcon::Information, s.Text(text::kVerifyStart), "...", row::kVerify);
    const IdentityCheck identity = CheckDcIdentityInRow(s);
    if (identity == IdentityCheck::NoAnswer) {
        s.Fail(profile::Failure::DcNotAnswering);
        return Verification::Failed;
    }
    ui.SetTaskStatus(s.Text(text::kDone));
    if (identity == IdentityCheck::OtherModel) {
        s.Fail(profile::Failure::WrongModelAfterRestart);
        return Verification::Failed;
    }

    const std::string_view dcVersion = s.DcVersion();
    const std::string_view fwVersion = fw.FwVersion;
    bool confirmed = false;
    bool revisionBelow = false;
    if (fw.Area1Only()) {
        confirmed = dcVersion >= fwVersion;
    } else {
        s.DcRevisionRead(comm.ReadRevision().revision);
        revisionBelow = s.DcRevision() < fw.FwRevision;
        confirmed = !revisionBelow && (fw.Area2Only() || dcVersion >= fwVersion);
    }

    Verification result = Verification::Confirmed;
    if (confirmed) {
        ui.InsertTaskList(TaskIcon::Warning, s.Text(text::kVerifyNewCode), "", row::kVerifyNewCode);
    } else if (!revisionBelow && !IdentityCarriesVersion(s.Identity())) {
        // Only the version was compared, and it is the one from before the update.
        ui.InsertTaskList(TaskIcon::Warning, s.Text(text::kVersionUnchecked), "", row::kVersionUnchecked);
        result = Verification::NotChecked;
    } else {
        const bool withRevision = !fw.Area1Only();
        const auto revision = [withRevision](std::uint8_t r) { return withRevision ? std::optional<long>(r) : std::nullopt; };
        const std::string reported = VersionText(s.DcVersion(), revision(s.DcRevision()));
        const std::string expected = VersionText(fw.FwVersion, revision(fw.FwRevision));
        ui.InsertTaskList(TaskIcon::Error, FillPlaceholders(s.Text(text::kVersionMismatch), reported, expected), "",
                          row::kVersionMismatch);
        result = Verification::NotUpdated;
    }

    if (!s.Profile().KeepProfile()) s.SetDcClock();
    ui.ResetStage();
    return result;
}

}  // namespace verno::update
