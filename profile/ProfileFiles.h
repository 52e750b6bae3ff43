#pragma once
// The profile's files on disk, through the file system seam: read and checked, created under a
// name where no file is, set aside, and removed only while they are still what was read. Nothing
// here replaces a file.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Files.h"
#include "profile/BackupFile.h"

namespace verno::profile {

// What a file held when this run read or wrote it: enough to tell later whether its name still
// leads to that file, with those bytes.
struct FileRecord {
    std::filesystem::path file;
    platform::FileIdentity identity;
    std::uint64_t digest = 0;  // of its bytes
    std::size_t size = 0;
};

std::uint64_t Digest(std::span<const std::uint8_t> bytes);

enum class ProfileFileStatus {
    Ok,
    Missing,     // no file of that name
    NotAFile,    // a folder, a pipe or a device
    Unreadable,  // there, but not to be read (reason)
    Damaged,     // not a backup file, or one whose checks fail
    Empty,       // a backup file without a profile in it
    OtherSize,   // made with a firmware file of the other memory size
};

struct ProfileFile {
    ProfileFileStatus status = ProfileFileStatus::Missing;
    std::unique_ptr<ProfileImage> image;  // Ok only
    FileRecord record;                    // what was read, whatever it held
    std::string reason;                   // the system's words, for Unreadable
    // When the profile was read from its DC, as far as the file tells: a history file's own
    // stamp, else when the file was written.
    std::chrono::system_clock::time_point readAt{};
};

class ProfileFiles {
public:
    explicit ProfileFiles(platform::FileSystem& fs);

    platform::FileSystem& Fs() { return fs_; }

    // A backup file, plain or packed as a history file, for a DC of that memory size.
    ProfileFile Read(const std::filesystem::path& file, std::uint16_t dcMemoryBlocks);

    struct Created {
        std::error_code error;  // the system's cause when it was not created
        FileRecord record;
    };
    // A new file under exactly that name: the bytes go to a temporary file beside it, are read
    // back and compared, and only then take the name, where no file may be.
    Created CreateVerified(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

    // Moves a file to `to`, or to a numbered name beside it when that is taken: never over
    // another file. The name it has now; empty when it could not be moved.
    std::filesystem::path SetAside(const std::filesystem::path& from, const std::filesystem::path& to);

    // Removes the file only while its name still leads to the file that was read, with the same
    // bytes. False when it is left (changed, gone, or not to be removed).
    bool RemoveIfUnchanged(const FileRecord& record);

    // Whether the file under that name is still the one recorded, with the same bytes.
    bool Unchanged(const FileRecord& record);

    // Removes the temporary files that runs killed meanwhile left in the backup folder and the
    // history: those of processes that no longer run.
    void RemoveAbandoned(const std::filesystem::path& backupFolder);

private:
    std::filesystem::path TemporaryName(const std::filesystem::path& file);
    void RemoveAbandonedIn(const std::filesystem::path& folder);

    platform::FileSystem& fs_;
    std::mt19937_64 random_;
};

// The largest file a profile can come in, packed or not, with room to tell that one is too long.
inline constexpr std::size_t kProfileFileLimit = 4 * kBackupFileSize;

}  // namespace verno::profile
