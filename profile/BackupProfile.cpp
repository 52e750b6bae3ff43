#include "profile/BackupProfile.h"

#include <memory>

#include "common/RowIds.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "profile/History.h"
#include "profile/ProfileRead.h"

namespace verno::profile {

namespace {

std::string DateText(std::chrono::system_clock::time_point at) { return IsoTime(at); }

// The failure rows for a profile read that did not give a profile.
void FailRead(ProfileSession& s, const ProfileRead& read) {
    if (read.outcome == ProfileReadOutcome::Unreliable)
        s.Fail(Failure::ProfileUnreliable, {std::to_string(read.failedBlock)});
    else
        s.Fail(Failure::BackupNotRead);
}

// Nothing was written to the DC, and nothing is kept around this attempt.
BackupOutcome Refuse(ProfileSession& s, Failure failure, std::initializer_list<std::string_view> values = {}) {
    if (s.Profile().Where() == ProfileWhere::InDc) s.Profile().NothingToSave();
    s.Fail(failure, values);
    return BackupOutcome::Refused;
}

// Every profile read from a DC also goes into the history; where the backup file holds it too,
// a failure there is told, not fatal.
void AlsoInHistory(ProfileSession& s, const ProfileImage& image) {
    const HistoryCopy copy = s.KeepInHistory(image);
    if (copy.error)
        s.Ui().InsertTaskList(TaskIcon::Warning,
                              FillPlaceholders(s.Text(text::kHistoryNotWritten), copy.file.string(), copy.error.message()),
                              "", row::kHistoryNotWritten);
}

// The user's choice when the DC's profile changed since the backup was saved: the saved one
// unless they choose the present one; nullopt when they closed the program at the question.
std::optional<bool> PresentChosen(ProfileSession& s, const FoundBackup& found, const ProfileImage& present) {
    const std::vector<Choice> choices{{MessageAnswer::Saved, s.Text(text::kChoiceSaved)},
                                      {MessageAnswer::Present, s.Text(text::kChoicePresent)}};
    const MessageAnswer answer = s.Ui().Ask(
        {Question::WhichProfile, s.Text(text::kRecoveryTitle),
         FillPlaceholders(s.Text(text::kProfileChanged), DateText(found.savedAt), std::to_string(present.ProfileBlockCount),
                          std::to_string(found.image->ProfileBlockCount)),
         MessageIcon::Question, choices});
    if (answer == MessageAnswer::Interrupted) return std::nullopt;
    return answer == MessageAnswer::Present;
}

// The present profile goes back instead of the saved one: the saved one is kept in the history
// first, then the backup file is replaced by the present profile (removed, and made anew).
BackupOutcome TakePresent(ProfileSession& s, FoundBackup& found, std::unique_ptr<ProfileImage> present) {
    ProfileState& st = s.Profile();
    const HistoryCopy saved = s.KeepInHistory(*found.image, HistoryMatch::Any);
    if (saved.error) {
        st.Keep(found.record.file, KeptWhy::WaitsForUpdate);
        return Refuse(s, Failure::CopyNotKept, {saved.file.string(), saved.error.message()});
    }
    st.Keep(saved.file, KeptWhy::SavedProfile);
    if (!s.Files().RemoveIfUnchanged(found.record)) {
        // Somebody else changed it meanwhile: it is theirs now, and stays.
        st.Keep(found.record.file, KeptWhy::Unusable);
        return Refuse(s, Failure::BackupUnusable, {found.record.file.string()});
    }
    const ProfileFiles::Created created = s.Files().CreateVerified(found.record.file, EncodeBackupFile(*present));
    if (created.error) return Refuse(s, Failure::BackupNotWritten, {found.record.file.string(), created.error.message()});
    const int blocks = present->ProfileBlockCount;
    st.Saved(std::move(present), created.record);
    s.Ui().InsertTaskList(TaskIcon::Warning,
                          FillPlaceholders(s.Text(text::kWritesBackPresent), std::to_string(blocks), saved.file.string()),
                          "", row::kWritesBackPresent);
    return BackupOutcome::Reused;
}

}  // namespace

Guard CopyWhatTheDcHolds(ProfileSession& s, KeptWhy why) {
    ProfileState& st = s.Profile();
    const std::optional<Block0Bytes> block0 = ReadBlock0(s);
    if (!block0) {
        s.Fail(Failure::BackupNotRead);
        return Guard::NotRead;
    }
    if (st.CopiedFrom(*block0)) return Guard::Ok;
    const ProfileRead present = ReadProfile(s, *block0);
    // No profile described there: nothing of the diver's to keep.
    if (present.outcome == ProfileReadOutcome::Empty || present.outcome == ProfileReadOutcome::Unfit) return Guard::Ok;
    if (present.outcome != ProfileReadOutcome::Read) {
        FailRead(s, present);
        return Guard::NotRead;
    }
    const HistoryCopy copy = s.KeepInHistory(*present.image);
    if (copy.error) {
        s.Fail(Failure::CopyNotKept, {copy.file.string(), copy.error.message()});
        return Guard::NotKept;
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    st.Keep(copy.file, why);
    st.Copied(*block0);
    return Guard::Ok;
}

BackupOutcome TakeFoundProfile(ProfileSession& s, FoundBackup found) {
    ProfileState& st = s.Profile();
    const Block0Bytes block0 = st.DcBlock0();
    const bool ours = st.CopiedFrom(block0);
    if (!ours)
        s.Ui().InsertTaskList(TaskIcon::Warning,
                              FillPlaceholders(s.Text(text::kFoundSaved), DateText(found.savedAt), found.record.file.string()),
                              "", row::kFoundSaved);
    if (ours) {
        // This run saved it from this very DC: what the DC holds now is what the run wrote there.
        st.Saved(std::move(found.image), found.record);
        return BackupOutcome::Reused;
    }

    ProfileRead present = ReadProfile(s, block0);
    if (present.outcome == ProfileReadOutcome::NotRead || present.outcome == ProfileReadOutcome::Unreliable) {
        st.Keep(found.record.file, KeptWhy::WaitsForUpdate);
        FailRead(s, present);
        st.NothingToSave();
        return BackupOutcome::ReadFailed;
    }
    if (present.outcome != ProfileReadOutcome::Read) {
        // No profile in the DC now (an empty or damaged header): the saved one goes back.
        st.Copied(block0);
        st.Saved(std::move(found.image), found.record);
        return BackupOutcome::Reused;
    }
    if (present.image->SameProfile(*found.image)) {
        // The backup file holds what the DC holds.
        s.Ui().SetTaskStatus(s.Text(text::kDone));
        AlsoInHistory(s, *present.image);
        st.Copied(block0);
        st.Saved(std::move(found.image), found.record);
        return BackupOutcome::Reused;
    }
    const HistoryCopy copy = s.KeepInHistory(*present.image);
    if (copy.error) {
        st.Keep(found.record.file, KeptWhy::WaitsForUpdate);
        return Refuse(s, Failure::CopyNotKept, {copy.file.string(), copy.error.message()});
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    st.Copied(block0);

    // The header cannot tell new dives from damage that an interrupted update did: only a
    // changed header is worth the question, and the saved profile is the default.
    std::optional<bool> takePresent = false;
    if (present.image->ProfileHeader != found.image->ProfileHeader) takePresent = PresentChosen(s, found, *present.image);
    if (!takePresent) {
        st.Keep(copy.file, KeptWhy::PresentProfile);
        st.Saved(std::move(found.image), found.record);
        st.KeptForLater();
        s.Ui().InsertTaskList(TaskIcon::Warning, s.Text(text::kClosedAtQuestion), "", row::kClosedAtQuestion);
        return BackupOutcome::Closed;
    }
    if (*takePresent) return TakePresent(s, found, std::move(present.image));
    st.Keep(copy.file, KeptWhy::PresentProfile);
    const int blocks = found.image->ProfileBlockCount;
    st.Saved(std::move(found.image), found.record);
    s.Ui().InsertTaskList(TaskIcon::Warning,
                          FillPlaceholders(s.Text(text::kWritesBackSaved), std::to_string(blocks), copy.file.string()), "",
                          row::kWritesBackSaved);
    return BackupOutcome::Reused;
}

BackupOutcome BackupProfile(ProfileSession& s) {
    ProfileState& st = s.Profile();
    FoundBackup found = GetBackupProfile(s);
    switch (found.lookup) {
        case BackupLookup::Unanswered:
            s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
            s.Fail(Failure::BackupNotRead);
            return BackupOutcome::ReadFailed;
        case BackupLookup::Unusable:
            // Never replace a file that may hold the only copy of an earlier profile.
            s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
            return Refuse(s, Failure::BackupUnusable, {found.record.file.string()});
        case BackupLookup::Found:
            // No backup row of its own: the status goes to the row before it.
            s.Ui().SetTaskStatus(s.Text(text::kDone));
            return TakeFoundProfile(s, std::move(found));
        case BackupLookup::NotFound: break;
    }

    ProfileRead read = ReadProfile(s, st.DcBlock0());
    switch (read.outcome) {
        case ProfileReadOutcome::Empty: st.NothingToSave(); return BackupOutcome::Empty;
        case ProfileReadOutcome::Unfit:
            s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
            return Refuse(s, Failure::BackupNotRead);
        case ProfileReadOutcome::NotRead:
        case ProfileReadOutcome::Unreliable: FailRead(s, read); return BackupOutcome::ReadFailed;
        case ProfileReadOutcome::Read: break;
    }
    const std::filesystem::path& path = st.BackupFilePath();
    const ProfileFiles::Created created = s.Files().CreateVerified(path, EncodeBackupFile(*read.image));
    if (created.error) return Refuse(s, Failure::BackupNotWritten, {path.string(), created.error.message()});
    // From now on the saved profile waits to be written back: Close offers the recovery.
    st.Copied(st.DcBlock0());
    st.Saved(std::move(read.image), created.record);
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    AlsoInHistory(s, st.Image());
    return BackupOutcome::Saved;
}

}  // namespace verno::profile
