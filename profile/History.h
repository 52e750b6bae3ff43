#pragma once
// Every profile read from a DC, kept for good in history/<serial>/ under the backup folder: gzip
// members holding a backup file, named after when the profile was read (UTC) and the firmware the
// DC ran then, "20261208T093512Z.fw1A.bak.gz". The program never deletes these; the user prunes.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "profile/ProfileFiles.h"

namespace verno::profile {

// The DC's firmware when its profile was read; an empty version when unknown.
struct DcFirmware {
    std::string version;                  // two characters
    std::optional<std::uint8_t> revision;  // when it was read
};

std::filesystem::path HistoryFolder(const std::filesystem::path& backupFolder);
std::filesystem::path HistoryFolderOf(const std::filesystem::path& backupFolder, std::int32_t serial);

struct HistoryCopy {
    std::error_code error;       // no copy could be made: the folder's own cause
    std::filesystem::path file;  // the history file that holds the profile
    bool written = false;        // a new file; false when the newest one already held it
};

// Which history file may already hold the profile: the newest (a profile read is kept once in a
// row), or any of them (a file about to go needs a copy somewhere).
enum class HistoryMatch { Newest, Any };

// Makes sure the DC's history holds the profile: a history file of its serial number that holds
// exactly these bytes, else a new file, read back. A history folder that is a link is refused.
HistoryCopy KeepInHistory(ProfileFiles& files, const std::filesystem::path& backupFolder, const ProfileImage& image,
                          const DcFirmware& firmware, std::chrono::system_clock::time_point readAt,
                          HistoryMatch match = HistoryMatch::Newest);

struct HistoryEntry {
    std::filesystem::path file;
    std::string serial;  // six digits: from the contents, else the folder's name
    std::optional<std::chrono::system_clock::time_point> readAt;
    int blocks = -1;      // -1 when the file is not a readable profile
    DcFirmware firmware;  // from the name
};

// Serial by serial, oldest first; only that serial's when one is given.
std::vector<HistoryEntry> ListHistory(ProfileFiles& files, const std::filesystem::path& backupFolder,
                                      std::optional<std::int32_t> serial = std::nullopt);

// Removes all but the newest `keep` history files of each serial number (or of one); the newest is
// never removed. The files removed.
std::vector<std::filesystem::path> PruneHistory(ProfileFiles& files, const std::filesystem::path& backupFolder, int keep,
                                                std::optional<std::int32_t> serial = std::nullopt);

}  // namespace verno::profile
