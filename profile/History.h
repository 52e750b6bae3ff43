#pragma once
// Every profile read from a DC, kept for good in history/<serial>/<UTC date-time>.bak under the
// backup folder, in the backup file format. The program never deletes these; the user may.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "profile/BackupFile.h"

namespace verno::profile {

std::filesystem::path HistoryFolder(const std::filesystem::path& backupFolder);

// Writes the profile held in state (its serial digits name the DC) as a new history file.
BackupWriteResult SaveToHistory(const std::filesystem::path& backupFolder, const ProfileState& state,
                                const ReadFrom& readFrom, std::filesystem::path& written);

struct HistoryEntry {
    std::filesystem::path file;
    std::string serial;  // six digits
    std::string date;    // "2026-12-08 09:35:12 UTC", from the file's name
    int blocks = -1;     // -1 when the file is not a readable backup
    ReadFrom readFrom;
};

// Oldest first, serial by serial. The block count is the one of the memory size the file fits.
std::vector<HistoryEntry> ListHistory(const std::filesystem::path& backupFolder);

// The profile's block count for that memory size; -1 when its rows do not fit it.
int BlockCount(const BackupContents& contents, std::uint16_t dcMemoryBlocks);

}  // namespace verno::profile
