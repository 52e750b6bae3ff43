#include "profile/GetBackupProfile.h"

#include <cstdio>
#include <memory>

#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/ProfileRange.h"

namespace verno::profile {

namespace {

void SetSerialDigitsFromText(ProfileState& st, const std::string& serialText) {
    for (std::size_t i = 0; i < 6; ++i) st.SerialDigits[i] = static_cast<std::uint8_t>(serialText[i] - '0');
}

}  // namespace

BackupLookup GetBackupProfile(ProfileSession& s) {
    ProfileState& st = s.profile;
    // A serial number decoded from stale bytes would name another DC's file: a later deletion
    // would miss the real backup, and a message would point to the wrong file.
    if (s.comm.ReadMemory(Block0::kUnit, Block0::kUnit) != link::LinkStatus::Ok) return BackupLookup::Unanswered;
    st.SerialDigits.fill(0);

    st.DcSerial = Block0::InRxBuf(s.comm).Serial();
    const std::string serialText = SerialText(st.DcSerial);
    st.BackupFilePath = BackupFileName(s.backupFolder, s.fw.DcModelNumber, st.DcSerial);

    auto contents = std::make_unique<BackupContents>();
    const BackupFileStatus file = ReadBackupFile(st.BackupFilePath, *contents);
    if (file != BackupFileStatus::Ok) {
        SetSerialDigitsFromText(st, serialText);
        switch (file) {
            case BackupFileStatus::Missing: return BackupLookup::NotFound;
            case BackupFileStatus::Unreadable: return BackupLookup::Unreadable;
            default: return BackupLookup::Damaged;
        }
    }

    const auto [start, end] = DecodeHeaderPointers(contents->ProfileHeader, s.fw.DcMemoryBlocks);
    ProfileRange range;
    if (start != end) {
        range = ApplyRangeRule(start, end, s.fw.DcMemoryBlocks);
        // A header whose range the table cannot hold, or rows written for another range (another
        // memory size, or corruption) would put blocks in the wrong places: the file is unusable.
        if (!range.Fits() || !RowsFollowRange(contents->ProfileBlocks, range)) {
            SetSerialDigitsFromText(st, serialText);
            return BackupLookup::Damaged;
        }
    }

    st.ProfileHeader = contents->ProfileHeader;
    st.SerialDigits = contents->SerialDigits;
    st.ProfileBlocks = contents->ProfileBlocks;

    bool found = false;
    if (start != end) {
        st.ProfileBlockCount = static_cast<std::int16_t>(range.blockCount);
        found = true;
        for (std::size_t i = 0; i < 6; ++i) {
            if (serialText[i] - '0' != st.SerialDigits[i]) {
                found = false;
                break;
            }
        }
    }
    // A backup written next must record the attached DC.
    if (!found) SetSerialDigitsFromText(st, serialText);
    return found ? BackupLookup::Found : BackupLookup::NotFound;
}

}  // namespace verno::profile
