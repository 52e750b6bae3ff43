#include "profile/GetBackupProfile.h"

#include <cstdio>
#include <memory>

#include "profile/BackupFile.h"
#include "profile/ProfileRange.h"

namespace verno::profile {

namespace {

int Bcd(std::uint8_t x) { return (x / 16) * 10 + x % 16; }

std::uint8_t RxByte(const link::CommModule& comm, std::size_t index) {
    return index < comm.RxBuf.size() ? comm.RxBuf[index] : 0;
}

void SetSerialDigitsFromText(ProfileState& st, const std::string& serialText) {
    for (std::size_t i = 0; i < 6; ++i) st.SerialDigits[i] = static_cast<std::uint8_t>(serialText[i] - '0');
}

}  // namespace

BackupLookup GetBackupProfile(ProfileSession& s) {
    ProfileState& st = s.profile;
    // Its outcome is not tested: the callers have just heard the DC answer.
    s.comm.ReadMemory(0, 0);
    st.SerialDigits.fill(0);

    st.DcSerial = Bcd(RxByte(s.comm, 11)) * 10000 + Bcd(RxByte(s.comm, 12)) * 100 + Bcd(RxByte(s.comm, 13));
    char serialText[16];
    std::snprintf(serialText, sizeof serialText, "%06d", static_cast<int>(st.DcSerial));
    st.BackupFilePath = BackupFileName(s.programFolder, s.fw.DcModelNumber, st.DcSerial);

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

    const std::int32_t start = DecodePointer(contents->ProfileHeader[8], contents->ProfileHeader[9], s.fw.DcMemoryBlocks);
    const std::int32_t end = DecodePointer(contents->ProfileHeader[10], contents->ProfileHeader[11], s.fw.DcMemoryBlocks);
    ProfileRange range;
    if (start != end) {
        range = ApplyRangeRule(start, end, s.fw.DcMemoryBlocks);
        // A header whose range the table cannot hold makes the whole file unusable.
        if (!range.Fits()) {
            SetSerialDigitsFromText(st, serialText);
            return BackupLookup::Damaged;
        }
    }

    st.ProfileHeader = contents->ProfileHeader;
    st.SerialDigits = contents->SerialDigits;
    st.ProfileBlocks = contents->ProfileBlocks;
    st.ProfileStart = start;
    st.ProfileEnd = end;

    bool found = false;
    if (start != end) {
        st.ProfileStart = range.start;
        st.ProfileEnd = range.end;
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
