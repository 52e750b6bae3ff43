#include "profile/GetBackupProfile.h"

#include "common/RowIds.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/Block0.h"
#include "profile/ProfileRead.h"

namespace verno::profile {

namespace {

// A file that is not this DC's to write back keeps its bytes under a name that says what it is,
// and the user is told where it went.
void SetAside(ProfileSession& s, const std::filesystem::path& file, const char* suffix, KeptWhy why, int textNumber,
              const std::string& serialInside = {}) {
    std::filesystem::path to = file;
    to += suffix;
    const std::filesystem::path moved = s.Files().SetAside(file, to);
    if (moved.empty()) {
        // Left where it is: unusable, and named as such at Close.
        s.Profile().Keep(file, KeptWhy::Unusable);
        return;
    }
    s.Profile().Keep(moved, why);
    const std::string row = serialInside.empty()
                                ? FillPlaceholders(s.Text(textNumber), file.string(), moved.string())
                                : FillPlaceholders(s.Text(textNumber), file.string(), serialInside, moved.string());
    s.Ui().InsertTaskList(TaskIcon::Warning, row, "", row::kSetAside);
}

}  // namespace

std::optional<Block0Bytes> ReadBlock0(ProfileSession& s) {
    return ReadBlockTwice(s.Comm(), Block0::kUnit);
}

FoundBackup GetBackupProfile(ProfileSession& s) {
    FoundBackup found;
    // A serial number decoded from garbled bytes would name another DC's file.
    const std::optional<Block0Bytes> block0 = ReadBlock0(s);
    if (!block0) return found;
    const std::int32_t serial = Block0(*block0).Serial();
    const std::filesystem::path path = BackupFileName(s.BackupFolder(), s.Fw().DcModelNumber, serial);
    s.Profile().MetDc(*block0, serial, path);

    ProfileFile file = s.Files().Read(path, s.Fw().DcMemoryBlocks);
    found.record = file.record;
    found.lookup = BackupLookup::Unusable;
    switch (file.status) {
        case ProfileFileStatus::Missing: found.lookup = BackupLookup::NotFound; return found;
        case ProfileFileStatus::NotAFile:
        case ProfileFileStatus::Unreadable:
        case ProfileFileStatus::Damaged:
            // It may hold the only copy of an earlier profile: never replaced, never moved.
            s.Profile().Keep(path, KeptWhy::Unusable);
            return found;
        case ProfileFileStatus::Empty:
            SetAside(s, path, ".empty", KeptWhy::Unusable, text::kBackupEmpty);
            found.lookup = BackupLookup::NotFound;
            return found;
        case ProfileFileStatus::OtherSize:
            SetAside(s, path, ".other-size", KeptWhy::OtherSize, text::kBackupOtherSize);
            found.lookup = BackupLookup::NotFound;
            return found;
        case ProfileFileStatus::Ok: break;
    }
    const std::int32_t inside = SerialOf(file.image->SerialDigits);
    if (inside != serial) {
        // One flipped digit is the likeliest cause: never handed to the DC it seems to name.
        SetAside(s, path, ".other-serial", KeptWhy::OtherSerial, text::kBackupOtherSerial, SerialText(inside));
        found.lookup = BackupLookup::NotFound;
        return found;
    }
    found.lookup = BackupLookup::Found;
    found.image = std::move(file.image);
    found.savedAt = file.readAt;
    return found;
}

}  // namespace verno::profile
