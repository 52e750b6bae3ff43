#include "update/RestoreFile.h"

#include <memory>
#include <optional>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "update/DcIdentity.h"
#include "profile/BackupProfile.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/History.h"
#include "profile/RestoreProfile.h"
#include "update/UpdateFirmware.h"
#include "common/RowIds.h"

namespace verno::update {

namespace {

RestoreFileResult Refuse(Session& s, RestoreFileResult why, profile::Failure failure,
                         std::initializer_list<std::string_view> values) {
    s.Fail(failure, values);
    return why;
}

bool Confirmed(Session& s, const std::filesystem::path& file, int blocks) {
    const std::vector<Choice> choices{{MessageAnswer::No, s.Text(text::kChoiceDoNotWrite)},
                                      {MessageAnswer::Yes, s.Text(text::kChoiceWrite)}};
    return s.surface.Ask({Question::ConfirmRestore, s.Text(text::kRecoveryTitle),
                          FillPlaceholders(s.Text(text::kRestoreConfirm), file.string(), std::to_string(blocks),
                                           profile::FileTimeText(file), profile::SerialText(s.profile.DcSerial)),
                          MessageIcon::Question, choices}) == MessageAnswer::Yes;
}

// Refuses a file that is not the attached DC's to take: unreadable, another serial number, another
// memory size. Reads block 0 for the DC's serial number; blocks is the file's block count.
std::optional<RestoreFileResult> RefusalOf(Session& s, const std::filesystem::path& file,
                                           const profile::BackupContents& contents, bool readable, int& blocks) {
    profile::ProfileState& st = s.profile;
    if (!readable)
        return Refuse(s, RestoreFileResult::Unusable, profile::Failure::RestoreUnusable, {file.string()});
    const link::MemoryBlock block0 = s.comm.ReadMemory(profile::Block0::kUnit, profile::Block0::kUnit);
    if (block0.status != link::LinkStatus::Ok) {
        s.Fail(profile::Failure::BackupNotRead);
        return RestoreFileResult::Failed;
    }
    st.DcBlock0 = block0.bytes;
    st.DcSerial = profile::Block0(st.DcBlock0).Serial();
    if (const std::int32_t inside = profile::SerialOf(contents.SerialDigits); inside != st.DcSerial)
        return Refuse(s, RestoreFileResult::OtherSerial, profile::Failure::RestoreOtherSerial,
                      {file.string(), profile::SerialText(inside), profile::SerialText(st.DcSerial)});
    blocks = profile::BlockCount(contents, s.fw.DcMemoryBlocks);
    if (blocks < 0)
        return Refuse(s, RestoreFileResult::OtherSize, profile::Failure::RestoreOtherSize, {file.string()});
    st.SerialDigits = profile::SerialDigitsOf(st.DcSerial);
    return std::nullopt;
}

}  // namespace

RestoreFileResult RestoreFile(Session& s, const std::filesystem::path& file) {
    profile::ProfileState& st = s.profile;
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kUpdateStart), "...", row::kUpdateStart);
    const IdentityCheck identity = CheckDcIdentityInRow(s);
    if (identity == IdentityCheck::NoAnswer) {
        s.Fail(profile::Failure::DcNotAnswering);
        return RestoreFileResult::NotAnswering;
    }
    s.surface.SetTaskStatus(s.Text(text::kDone));
    if (identity == IdentityCheck::OtherModel)
        return Refuse(s, RestoreFileResult::OtherModel, profile::Failure::OtherModel, {NotThisModel(s.surface, s.fw) + "!"});
    s.dcFirmware = {s.DcVersion, 0};

    auto contents = std::make_unique<profile::BackupContents>();
    const bool readable = profile::ReadBackupFile(file, *contents) == profile::BackupFileStatus::Ok;
    int blocks = 0;
    if (const auto refused = RefusalOf(s, file, *contents, readable, blocks)) return *refused;
    if (!Confirmed(s, file, blocks)) {
        static_cast<void>(s.comm.EndConnection());
        return RestoreFileResult::Declined;
    }
    // What the DC holds now is about to be overwritten: it goes into the history first.
    auto present = std::make_unique<profile::ProfileState>();
    if (profile::ReadPresentProfile(s, *present) == profile::BackupOutcome::ReadFailed) {
        static_cast<void>(s.comm.EndConnection());
        return RestoreFileResult::Failed;
    }

    st.ProfileHeader = contents->ProfileHeader;
    st.ProfileBlocks = contents->ProfileBlocks;
    st.ProfileBlockCount = static_cast<std::int16_t>(blocks);
    st.BackupFilePath = file;
    const bool restored = profile::RestoreProfile(s, profile::AfterRestore::KeepFile);
    // The chosen file stays as it is, whatever happened: no recovery at Close, which names it
    // when the restore failed.
    st.where = profile::ProfileWhere::NotSaved;
    if (!restored) st.Keep(file);
    static_cast<void>(s.comm.EndConnection());
    if (!restored) return RestoreFileResult::Failed;
    s.surface.InsertTaskList(TaskIcon::Warning, FillPlaceholders(s.Text(text::kRestoredFromFile), file.string()), "",
                             row::kRestoredFromFile);
    return RestoreFileResult::Restored;
}

}  // namespace verno::update
