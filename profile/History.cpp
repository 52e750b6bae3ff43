#include "profile/History.h"

#include <algorithm>
#include <memory>
#include <tuple>
#include <system_error>

#include "profile/Block0.h"
#include "profile/ProfileRange.h"

namespace verno::profile {

namespace {

constexpr std::size_t kVersionByte = 6;
constexpr std::size_t kRevisionByte = 8;

// "20261208T093512Z" -> "2026-12-08 09:35:12 UTC"; other names as they are.
std::string DateFromStamp(const std::string& stem) {
    if (stem.size() < 16 || stem[8] != 'T' || stem[15] != 'Z') return stem;
    return stem.substr(0, 4) + "-" + stem.substr(4, 2) + "-" + stem.substr(6, 2) + " " + stem.substr(9, 2) + ":" +
           stem.substr(11, 2) + ":" + stem.substr(13, 2) + " UTC";
}

}  // namespace

std::filesystem::path HistoryFolder(const std::filesystem::path& backupFolder) { return backupFolder / "history"; }

int BlockCount(const BackupContents& contents, std::uint16_t dcMemoryBlocks) {
    const auto [start, end] = DecodeHeaderPointers(contents.ProfileHeader, dcMemoryBlocks);
    if (start == end) return 0;
    const ProfileRange range = ApplyRangeRule(start, end, dcMemoryBlocks);
    return range.Fits() && RowsFollowRange(contents.ProfileBlocks, range) ? range.blockCount : -1;
}

BackupWriteResult SaveToHistory(const std::filesystem::path& backupFolder, const ProfileState& state,
                                const ReadFrom& readFrom, std::filesystem::path& written) {
    auto copy = std::make_unique<ProfileState>();
    copy->ProfileHeader = state.ProfileHeader;
    copy->SerialDigits = state.SerialDigits;
    copy->ProfileBlocks = state.ProfileBlocks;
    for (std::size_t i = 0; i < 2 && i < readFrom.version.size(); ++i)
        copy->SerialDigits[kVersionByte + i] = static_cast<std::uint8_t>(readFrom.version[i]);
    copy->SerialDigits[kRevisionByte] = readFrom.revision;

    const std::filesystem::path folder = HistoryFolder(backupFolder) / SerialText(SerialOf(state.SerialDigits));
    written = folder / (UtcStamp() + ".bak");
    std::error_code ec;
    // Two reads within one second get names of their own.
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(written, ec)); ++n)
        written = folder / (UtcStamp() + "-" + std::to_string(n) + ".bak");
    return WriteBackupFile(written, EncodeBackupFile(*copy));
}

std::vector<HistoryEntry> ListHistory(const std::filesystem::path& backupFolder) {
    std::vector<HistoryEntry> entries;
    std::error_code ec;
    for (const auto& serialFolder : std::filesystem::directory_iterator(HistoryFolder(backupFolder), ec)) {
        if (!serialFolder.is_directory(ec)) continue;
        for (const auto& file : std::filesystem::directory_iterator(serialFolder.path(), ec)) {
            if (file.path().extension() != ".bak" || !file.is_regular_file(ec)) continue;
            HistoryEntry entry{file.path(), serialFolder.path().filename().string(),
                               DateFromStamp(file.path().stem().string()), -1, {}};
            auto contents = std::make_unique<BackupContents>();
            if (ReadBackupFile(file.path(), *contents) == BackupFileStatus::Ok) {
                entry.blocks = BlockCount(*contents, 1024);
                if (entry.blocks < 0) entry.blocks = BlockCount(*contents, 512);
                if (contents->SerialDigits[kVersionByte] != 0)
                    entry.readFrom.version = {static_cast<char>(contents->SerialDigits[kVersionByte]),
                                              static_cast<char>(contents->SerialDigits[kVersionByte + 1])};
                entry.readFrom.revision = contents->SerialDigits[kRevisionByte];
            }
            entries.push_back(std::move(entry));
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const HistoryEntry& a, const HistoryEntry& b) { return std::tie(a.serial, a.file) < std::tie(b.serial, b.file); });
    return entries;
}

}  // namespace verno::profile
