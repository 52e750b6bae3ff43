#include "update/RestoreFile.h"

#include <optional>

#include "common/RowIds.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "common/WallClock.h"
#include "profile/Block0.h"
#include "profile/GetBackupProfile.h"
#include "profile/RestoreProfile.h"
#include "update/DcIdentity.h"
#include "update/UpdateFirmware.h"

namespace verno::update {

namespace {

RestoreFileResult Refuse(Session& s, RestoreFileResult why, profile::Failure failure,
                         std::initializer_list<std::string_view> values) {
    s.Fail(failure, values);
    return why;
}

bool Confirmed(Session& s, const profile::ProfileFile& file) {
    const std::vector<Choice> choices{{MessageAnswer::No, s.Text(text::kChoiceDoNotWrite)},
                                      {MessageAnswer::Yes, s.Text(text::kChoiceWrite)}};
    return s.Ui().Ask({Question::ConfirmRestore, s.Text(text::kRecoveryTitle),
                       FillPlaceholders(s.Text(text::kRestoreConfirm), file.record.file.string(),
                                        std::to_string(file.image->ProfileBlockCount), IsoTime(file.readAt),
                                        profile::SerialText(s.Profile().DcSerial())),
                       MessageIcon::Question, choices}) == MessageAnswer::Yes;
}

// Refuses a file that is not the attached DC's to take, each in its own words.
std::optional<RestoreFileResult> RefusalOf(Session& s, const profile::ProfileFile& file) {
    const std::string path = file.record.file.string();
    using profile::Failure;
    using profile::ProfileFileStatus;
    switch (file.status) {
        case ProfileFileStatus::Ok: break;
        case ProfileFileStatus::Missing: return Refuse(s, RestoreFileResult::Unusable, Failure::RestoreMissing, {path});
        case ProfileFileStatus::NotAFile: return Refuse(s, RestoreFileResult::Unusable, Failure::RestoreNotAFile, {path});
        case ProfileFileStatus::Unreadable:
            return Refuse(s, RestoreFileResult::Unusable, Failure::RestoreUnreadable, {path, file.reason});
        case ProfileFileStatus::Damaged:
        case ProfileFileStatus::Empty: return Refuse(s, RestoreFileResult::Unusable, Failure::RestoreUnusable, {path});
        case ProfileFileStatus::OtherSize:
            return Refuse(s, RestoreFileResult::OtherSize, Failure::RestoreOtherSize, {path});
    }
    const std::int32_t dc = s.Profile().DcSerial();
    if (const std::int32_t inside = profile::SerialOf(file.image->SerialDigits); inside != dc)
        return Refuse(s, RestoreFileResult::OtherSerial, Failure::RestoreOtherSerial,
                      {path, profile::SerialText(inside), profile::SerialText(dc)});
    return std::nullopt;
}

}  // namespace

RestoreFileResult RestoreFile(Session& s, const std::filesystem::path& path) {
    profile::ProfileState& st = s.Profile();
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kUpdateStart), "...", row::kUpdateStart);
    const IdentityCheck identity = CheckDcIdentityInRow(s);
    if (identity == IdentityCheck::NoAnswer) {
        s.Fail(profile::Failure::DcNotAnswering);
        return RestoreFileResult::NotAnswering;
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    if (identity == IdentityCheck::OtherModel)
        return Refuse(s, RestoreFileResult::OtherModel, profile::Failure::OtherModel, {NotThisModel(s.Ui(), s.Fw()) + "!"});

    // Block 0 first: every refusal names the DC by its serial number.
    const std::optional<profile::Block0Bytes> block0 = profile::ReadBlock0(s);
    if (!block0) {
        s.Fail(profile::Failure::BackupNotRead);
        static_cast<void>(s.Comm().EndConnection());
        return RestoreFileResult::Failed;
    }
    const std::int32_t serial = profile::Block0(*block0).Serial();
    st.MetDc(*block0, serial, profile::BackupFileName(s.BackupFolder(), s.Fw().DcModelNumber, serial));

    profile::ProfileFile file = s.Files().Read(path, s.Fw().DcMemoryBlocks);
    if (const auto refused = RefusalOf(s, file)) return *refused;
    if (!Confirmed(s, file)) {
        static_cast<void>(s.Comm().EndConnection());
        return RestoreFileResult::Declined;
    }
    st.ChoseFile(std::move(file.image), file.record);
    const bool restored = profile::RestoreProfile(s);
    static_cast<void>(s.Comm().EndConnection());
    if (!restored) return RestoreFileResult::Failed;
    s.Ui().InsertTaskList(TaskIcon::Warning, FillPlaceholders(s.Text(text::kRestoredFromFile), path.string()), "",
                          row::kRestoredFromFile);
    return RestoreFileResult::Restored;
}

}  // namespace verno::update
