#include "profile/BackupProfile.h"

#include <algorithm>
#include <memory>

#include "common/Sum8.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/Geometry.h"
#include "profile/History.h"
#include "profile/ProfileRange.h"
#include "common/RowIds.h"

namespace verno::profile {

namespace {

BackupOutcome Refuse(ProfileSession& s, Failure failure, std::initializer_list<std::string_view> values = {}) {
    // Nothing was saved and the DC is left untouched, so there is nothing to put back.
    s.profile.where = ProfileWhere::NotSaved;
    s.Fail(failure, values);
    return BackupOutcome::Refused;
}

BackupOutcome RefuseUnwritable(ProfileSession& s, const std::filesystem::path& file, const std::string& reason) {
    return Refuse(s, Failure::BackupNotWritten, {file.string(), reason});
}

// The header as block 0 holds it (read by GetBackupProfile), with its sum.
void TakeHeader(ProfileSession& s, ProfileState& into) {
    const ProfileHeaderBytes header = Block0(s.profile.DcBlock0).Header();
    std::copy(header.begin(), header.end(), into.ProfileHeader.begin());
    into.ProfileHeader[kProfileHeaderSize] = Sum8(header);
}

// Reads the range's blocks into the table, with the backup row's percentages; false when a
// block did not come in.
bool ReadProfileBlocks(ProfileSession& s, const ProfileRange& range, ProfileState& into) {
    into.ProfileBlockCount = static_cast<std::int16_t>(range.blockCount);
    for (std::int32_t j = 1; j <= range.blockCount; ++j) {
        s.surface.SetTaskStatus(Percent(j, range.blockCount));
        const auto unit = static_cast<std::uint16_t>(range.firstReadAddress + UnitOfBlock(j - 1));
        const link::MemoryBlock read = s.comm.ReadMemory(unit, unit);
        if (read.status != link::LinkStatus::Ok) return false;
        ProfileRow& row = into.ProfileBlocks[static_cast<std::size_t>(j - 1)];
        row[0] = static_cast<std::int16_t>(WriteAddress(unit));
        std::copy(read.bytes.begin(), read.bytes.end(), row.begin() + 1);
        row[kSumColumn] = Sum8(read.bytes);
    }
    return true;
}

// Every profile read from a DC also goes into the history; a failure there is told, not fatal.
void KeepInHistory(ProfileSession& s, const ProfileState& profile) {
    std::filesystem::path written;
    const BackupWriteResult result = SaveToHistory(s.backupFolder, profile, s.dcFirmware, written);
    if (!result.ok)
        s.surface.InsertTaskList(TaskIcon::Warning,
                                 FillPlaceholders(s.Text(text::kHistoryNotWritten), written.string(), result.reason), "",
                                 row::kHistoryNotWritten);
}

std::filesystem::path DatedName(const std::filesystem::path& backup, const std::string& stamp) {
    return backup.parent_path() / (backup.stem().string() + "." + stamp + ".bin");
}

// The DC holds a profile that changed since the backup was saved: both are kept, and the one
// chosen lies under the backup's name, where the restore and the recovery look for it.
BackupOutcome KeepBoth(ProfileSession& s, ProfileState& present) {
    ProfileState& st = s.profile;
    const std::string savedOn = FileTimeText(st.BackupFilePath);
    const std::vector<Choice> choices{{MessageAnswer::Present, s.Text(text::kChoicePresent)},
                                      {MessageAnswer::Saved, s.Text(text::kChoiceSaved)}};
    const MessageAnswer answer = s.surface.Ask(
        {Question::WhichProfile, s.Text(text::kRecoveryTitle),
         FillPlaceholders(s.Text(text::kProfileChanged), savedOn, std::to_string(present.ProfileBlockCount),
                          std::to_string(st.ProfileBlockCount)),
         MessageIcon::Question, choices});
    const bool takeSaved = answer == MessageAnswer::Saved;

    // The other one gets a name beside it, dated when it was read, and is kept.
    const std::filesystem::path other =
        takeSaved ? DatedName(st.BackupFilePath, UtcStamp())
                  : MoveAside(st.BackupFilePath, DatedName(st.BackupFilePath, UtcStamp(st.BackupFilePath)));
    if (other.empty()) return RefuseUnwritable(s, st.BackupFilePath, "rename");
    st.Keep(other);
    const std::filesystem::path presentFile = takeSaved ? other : st.BackupFilePath;
    if (const BackupWriteResult w = WriteBackupFile(presentFile, EncodeBackupFile(present)); !w.ok)
        return RefuseUnwritable(s, presentFile, w.reason);

    const int blocks = takeSaved ? st.ProfileBlockCount : present.ProfileBlockCount;
    if (!takeSaved) {
        st.ProfileHeader = present.ProfileHeader;
        st.ProfileBlocks = present.ProfileBlocks;
        st.ProfileBlockCount = present.ProfileBlockCount;
        st.fromEarlierRun = false;
    }
    s.surface.InsertTaskList(TaskIcon::Warning,
                             FillPlaceholders(s.Text(takeSaved ? text::kWritesBackSaved : text::kWritesBackPresent),
                                              std::to_string(blocks), other.string()),
                             "", takeSaved ? row::kWritesBackSaved : row::kWritesBackPresent);
    return BackupOutcome::Reused;
}

}  // namespace

BackupOutcome ReadPresentProfile(ProfileSession& s, ProfileState& into) {
    into.SerialDigits = s.profile.SerialDigits;
    TakeHeader(s, into);
    const auto [start, end] = DecodeHeaderPointers(into.ProfileHeader, s.fw.DcMemoryBlocks);
    if (start == end) return BackupOutcome::Empty;
    const ProfileRange range = ApplyRangeRule(start, end, s.fw.DcMemoryBlocks);
    // A damaged header: its range would run past the table.
    if (!range.Fits()) return BackupOutcome::Refused;
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
    if (!ReadProfileBlocks(s, range, into)) {
        s.Fail(Failure::BackupNotRead);
        return BackupOutcome::ReadFailed;
    }
    s.surface.SetTaskStatus(s.Text(text::kDone));
    KeepInHistory(s, into);
    return BackupOutcome::Saved;
}

BackupOutcome TakeFoundProfile(ProfileSession& s, BackupLookup lookup) {
    ProfileState& st = s.profile;
    BackupOutcome outcome = BackupOutcome::Reused;
    if (lookup == BackupLookup::FoundChanged) {
        auto present = std::make_unique<ProfileState>();
        // An empty or damaged header holds nothing to keep: the saved profile goes back.
        const BackupOutcome read = ReadPresentProfile(s, *present);
        if (read == BackupOutcome::Saved)
            outcome = KeepBoth(s, *present);
        else if (read == BackupOutcome::ReadFailed)
            outcome = read;
    } else if (st.fromEarlierRun) {
        s.surface.InsertTaskList(TaskIcon::Warning,
                                 FillPlaceholders(s.Text(text::kFoundSaved), FileTimeText(st.BackupFilePath),
                                                  st.BackupFilePath.string()),
                                 "", row::kFoundSaved);
    }
    // From now on the saved profile waits to be written back: Close offers the recovery.
    if (outcome == BackupOutcome::Reused)
        st.where = ProfileWhere::Saved;
    else
        st.Keep(st.BackupFilePath);
    return outcome;
}

BackupOutcome BackupProfile(ProfileSession& s) {
    ProfileState& st = s.profile;
    const BackupLookup lookup = GetBackupProfile(s);
    if (lookup == BackupLookup::Unanswered) {
        s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
        s.Fail(Failure::BackupNotRead);
        return BackupOutcome::ReadFailed;
    }
    if (lookup == BackupLookup::Found || lookup == BackupLookup::FoundChanged) {
        // No backup row of its own: the status goes to the row before it.
        s.surface.SetTaskStatus(s.Text(text::kDone));
        return TakeFoundProfile(s, lookup);
    }
    if (IsUnusable(lookup)) {
        // Never replace a file that may hold the only copy of an earlier profile.
        s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
        return Refuse(s, Failure::BackupUnusable, {st.BackupFilePath.string()});
    }

    TakeHeader(s, st);
    const auto [start, end] = DecodeHeaderPointers(st.ProfileHeader, s.fw.DcMemoryBlocks);
    if (start == end) {
        st.where = ProfileWhere::NotSaved;
        return BackupOutcome::Empty;
    }
    const ProfileRange range = ApplyRangeRule(start, end, s.fw.DcMemoryBlocks);
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
    if (!range.Fits()) {
        // A damaged header: its range would run past the table.
        st.ProfileBlockCount = 0;
        return Refuse(s, Failure::BackupNotRead);
    }
    if (!ReadProfileBlocks(s, range, st)) {
        s.Fail(Failure::BackupNotRead);
        return BackupOutcome::ReadFailed;
    }
    if (const BackupWriteResult written = WriteBackupFile(st.BackupFilePath, EncodeBackupFile(st)); !written.ok)
        return RefuseUnwritable(s, st.BackupFilePath, written.reason);
    // From now on the saved profile waits to be written back: Close offers the recovery.
    st.where = ProfileWhere::Saved;
    KeepInHistory(s, st);
    s.surface.SetTaskStatus(s.Text(text::kDone));
    return BackupOutcome::Saved;
}

}  // namespace verno::profile
