#include "profile/BackupProfile.h"

#include "common/Text.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/GetBackupProfile.h"
#include "profile/ProfileRange.h"
#include "common/TextNumbers.h"

namespace verno::profile {

namespace {

BackupOutcome Refuse(ProfileSession& s, const std::string& failureRow) {
    s.comm.TransferFailed = true;
    // Nothing was saved and the DC is left untouched, so there is nothing to put back.
    s.profile.KeepProfile = false;
    s.FailStep(failureRow);
    return BackupOutcome::Refused;
}

}  // namespace

BackupOutcome BackupProfile(ProfileSession& s) {
    ProfileState& st = s.profile;
    link::CommModule& comm = s.comm;

    const BackupLookup lookup = GetBackupProfile(s);
    if (lookup == BackupLookup::Unanswered) {
        s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "");
        s.FailStep(text::kBackupFailed);
        return BackupOutcome::ReadFailed;
    }
    if (lookup == BackupLookup::Found) {
        // No backup row of its own: the status goes to the row before it.
        if (comm.TransferFailed) {
            s.FailStep(text::kBackupFailed);
            return BackupOutcome::ReadFailed;
        }
        s.surface.SetTaskStatus(s.Text(text::kDone));
        st.ProfileSafe = false;  // from now on the saved profile waits to be written back
        return BackupOutcome::Reused;
    }
    if (IsUnusable(lookup)) {
        // Never replace a file that may hold the only copy of an earlier profile.
        s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "");
        return Refuse(s, FillPlaceholders(s.Text(text::kBackupUnusable), st.BackupFilePath.string()));
    }

    // GetBackupProfile left block 0 in RxBuf.
    const ProfileHeaderBytes header = Block0::InRxBuf(comm).Header();
    unsigned sum = 0;
    for (std::size_t k = 0; k < header.size(); ++k) {
        st.ProfileHeader[k] = header[k];
        sum += header[k];
    }
    st.ProfileHeader[kProfileHeaderSize] = static_cast<std::uint8_t>(sum % 256);

    const auto [start, end] = DecodeHeaderPointers(header, s.fw.DcMemoryBlocks);
    if (start == end) {
        st.KeepProfile = false;
        return BackupOutcome::Empty;
    }

    st.KeepProfile = true;
    const ProfileRange range = ApplyRangeRule(start, end, s.fw.DcMemoryBlocks);
    s.surface.InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "");
    if (!range.Fits()) {
        // A damaged header: its range would run past the table.
        st.ProfileBlockCount = 0;
        return Refuse(s, s.Text(text::kBackupFailed));
    }
    st.ProfileBlockCount = static_cast<std::int16_t>(range.blockCount);

    std::int32_t a = range.firstReadAddress;
    for (std::int32_t j = 1; j <= range.blockCount; ++j) {
        s.surface.SetTaskStatus(Percent(j, range.blockCount));
        ProfileRow& row = st.ProfileBlocks[static_cast<std::size_t>(j - 1)];
        row[0] = static_cast<std::int16_t>(a - 256);
        comm.ReadMemory(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(a));
        unsigned blockSum = 0;
        for (std::size_t k = 1; k <= 128; ++k) {
            const std::uint8_t b = comm.RxByte(k);
            row[k] = b;
            blockSum += b;
        }
        row[kSumColumn] = static_cast<std::int16_t>(blockSum % 256);
        a += 8;
        if (comm.TransferFailed) break;
    }

    if (!comm.TransferFailed) {
        const BackupWriteResult written = WriteBackupFile(st.BackupFilePath, EncodeBackupFile(st));
        if (!written.ok) {
            return Refuse(s, FillPlaceholders(s.Text(text::kBackupNotWritten), st.BackupFilePath.string(),
                                              written.reason));
        }
        // From now on the saved profile waits to be written back: Close offers the recovery.
        st.ProfileSafe = false;
    }

    if (comm.TransferFailed) {
        s.FailStep(text::kBackupFailed);
        return BackupOutcome::ReadFailed;
    }
    s.surface.SetTaskStatus(s.Text(text::kDone));
    return BackupOutcome::Saved;
}

}  // namespace verno::profile
