#include "profile/GetBackupProfile.h"

#include <algorithm>
#include <memory>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/ProfileRange.h"
#include "common/RowIds.h"

namespace verno::profile {

namespace {

// Whether the file's rows follow its header when read for that memory size.
bool RowsFitMemory(const BackupContents& file, std::uint16_t dcMemoryBlocks) {
    const auto [start, end] = DecodeHeaderPointers(file.ProfileHeader, dcMemoryBlocks);
    if (start == end) return true;
    const ProfileRange range = ApplyRangeRule(start, end, dcMemoryBlocks);
    return range.Fits() && RowsFollowRange(file.ProfileBlocks, range);
}

// A file that is not this DC's to write back is kept under a name that says what it is, and the
// user is told where it went.
void SetAside(ProfileSession& s, const std::filesystem::path& file, const std::filesystem::path& to, int textNumber,
              const std::string& detail) {
    const std::filesystem::path moved = MoveAside(file, to);
    if (moved.empty()) return;
    s.profile.Keep(moved);
    const std::string row = detail.empty() ? FillPlaceholders(s.Text(textNumber), file.string(), moved.string())
                                           : FillPlaceholders(s.Text(textNumber), file.string(), detail, moved.string());
    s.surface.InsertTaskList(TaskIcon::Warning, row, "", row::kSetAside);
}

// A file of this DC's name that cannot be written back here: another memory size, or another
// DC's serial number inside. true when it was one of those and has been moved aside.
bool SetAsideIfNotThisDcs(ProfileSession& s, const BackupContents& file, const std::string& serialText) {
    ProfileState& st = s.profile;
    const std::uint16_t otherSize = s.fw.DcMemoryBlocks == 1024 ? 512 : 1024;
    if (!RowsFitMemory(file, s.fw.DcMemoryBlocks)) {
        if (!RowsFitMemory(file, otherSize)) return false;
        std::filesystem::path to = st.BackupFilePath;
        to += ".other-size";
        SetAside(s, st.BackupFilePath, to, text::kBackupOtherSize, {});
        return true;
    }
    const auto [start, end] = DecodeHeaderPointers(file.ProfileHeader, s.fw.DcMemoryBlocks);
    const std::int32_t inside = SerialOf(file.SerialDigits);
    if (start == end || SerialText(inside) == serialText) return false;
    // Moved to where that DC's own backup belongs, so that its next update finds it.
    SetAside(s, st.BackupFilePath, BackupFileName(st.BackupFilePath.parent_path(), s.fw.DcModelNumber, inside),
             text::kBackupOtherSerial, SerialText(inside));
    return true;
}

}  // namespace

BackupLookup GetBackupProfile(ProfileSession& s) {
    ProfileState& st = s.profile;
    // A serial number decoded from stale bytes would name another DC's file: a later deletion
    // would miss the real backup, and a message would point to the wrong file.
    const link::MemoryBlock read = s.comm.ReadMemory(Block0::kUnit, Block0::kUnit);
    if (read.status != link::LinkStatus::Ok) return BackupLookup::Unanswered;
    st.DcBlock0 = read.bytes;

    const Block0 block0(st.DcBlock0);
    const std::string serialText = SerialText(block0.Serial());
    const std::filesystem::path path = BackupFileName(s.backupFolder, s.fw.DcModelNumber, block0.Serial());
    const std::vector<std::filesystem::path> handledThisRun = st.FilesOnDisk();
    // The file this run relies on so far stays named at Close, whatever DC is attached now.
    if (path != st.BackupFilePath && st.BackupOnDisk()) st.Keep(st.BackupFilePath);
    st.DcSerial = block0.Serial();
    st.BackupFilePath = path;
    st.SerialDigits = SerialDigitsOf(block0.Serial());

    auto contents = std::make_unique<BackupContents>();
    switch (ReadBackupFile(path, *contents)) {
        case BackupFileStatus::Ok: break;
        case BackupFileStatus::Missing: return BackupLookup::NotFound;
        case BackupFileStatus::Unreadable: return BackupLookup::Unreadable;
        case BackupFileStatus::Damaged: return BackupLookup::Damaged;
    }
    if (SetAsideIfNotThisDcs(s, *contents, serialText)) return BackupLookup::NotFound;
    if (!RowsFitMemory(*contents, s.fw.DcMemoryBlocks)) return BackupLookup::Damaged;

    const auto [start, end] = DecodeHeaderPointers(contents->ProfileHeader, s.fw.DcMemoryBlocks);
    if (start == end) return BackupLookup::NotFound;

    st.ProfileHeader = contents->ProfileHeader;
    st.ProfileBlocks = contents->ProfileBlocks;
    st.ProfileBlockCount =
        static_cast<std::int16_t>(ApplyRangeRule(start, end, s.fw.DcMemoryBlocks).blockCount);
    const bool ours = std::find(handledThisRun.begin(), handledThisRun.end(), path) != handledThisRun.end();
    st.fromEarlierRun = !ours;
    const ProfileHeaderBytes present = block0.Header();
    if (!ours && !std::equal(present.begin(), present.end(), contents->ProfileHeader.begin()))
        return BackupLookup::FoundChanged;
    return BackupLookup::Found;
}

}  // namespace verno::profile
