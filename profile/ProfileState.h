#pragma once
// The DC's profile as saved around an update: held in memory for the restore and mirrored in
// the backup file for the recovery after an interrupted update.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace verno::profile {

inline constexpr std::size_t kProfileRows = 1024;
inline constexpr std::size_t kProfileColumns = 130;  // write address, 128 bytes, row sum
inline constexpr std::size_t kSumColumn = 129;

// Row r is saved block r: column 0 its write address (read address - 256, in units), columns
// 1..128 its bytes, column 129 the 8-bit sum of those bytes.
using ProfileRow = std::array<std::int16_t, kProfileColumns>;
using ProfileTable = std::array<ProfileRow, kProfileRows>;

// Where the diver's profile is, as this run knows it. Close, the recovery and the verdict all
// read this one value.
enum class ProfileWhere {
    InDc,         // in the DC only; saved before any code is sent
    NotSaved,     // in the DC only, and nothing is kept around this update (empty, or refused)
    Saved,        // in the backup file (BackupFilePath), waiting to be written back
    WritingBack,  // being written back from the backup file
    WrittenBack,  // written back and its header read back equal; the backup file is gone
    KeptOnDisk,   // left in the backup file on purpose, for later
    Discarded,    // the user deleted the backup file, confirmed
};

// The DC's firmware version when a profile was read; history files carry it in the serial
// record's spare bytes 6..8 (zero in a plain backup file).
struct ReadFrom {
    std::string version;  // two characters, empty when unknown
    std::uint8_t revision = 0;
};

struct ProfileState {
    // Bytes 0..15 the profile header of block 0, byte 16 their 8-bit sum.
    std::array<std::uint8_t, 17> ProfileHeader{};
    // Bytes 0..5 the serial number's decimal digits as values 0..9, the rest 0.
    std::array<std::uint8_t, 17> SerialDigits{};
    ProfileTable ProfileBlocks{};
    std::int16_t ProfileBlockCount = 0;  // rows of ProfileBlocks in use, 0..1024
    std::filesystem::path BackupFilePath;
    std::int32_t DcSerial = 0;
    // Block 0 of the DC as the last good read of it gave it.
    std::array<std::uint8_t, 128> DcBlock0{};

    ProfileWhere where = ProfileWhere::InDc;
    // The backup file in BackupFilePath was found on disk, not saved by this run.
    bool fromEarlierRun = false;
    // Every other file with a profile that this run left on disk: an earlier attempt's backup,
    // the one of two profiles that was not written back, files set aside. Close names them.
    std::vector<std::filesystem::path> keptFiles;

    // True while the profile is to be saved before and restored after the update.
    bool KeepProfile() const { return where != ProfileWhere::NotSaved; }
    // False while a saved profile still waits to be written back: Close then offers the recovery.
    bool ProfileSafe() const { return where != ProfileWhere::Saved && where != ProfileWhere::WritingBack; }
    // The backup file in BackupFilePath holds the profile this run relies on.
    bool BackupOnDisk() const {
        return where == ProfileWhere::Saved || where == ProfileWhere::WritingBack || where == ProfileWhere::KeptOnDisk;
    }
    // A new attempt: the profile is in the DC, and whatever an earlier attempt left on disk is
    // remembered, so that Close can still name it.
    void StartAttempt();
    void Keep(const std::filesystem::path& file);
    // Every file with a profile that this run leaves on disk, the waiting backup included.
    std::vector<std::filesystem::path> FilesOnDisk() const;
};

}  // namespace verno::profile
