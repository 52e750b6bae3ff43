#include "profile/History.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

#include "profile/Gzip.h"

namespace verno::profile {

namespace {

constexpr std::string_view kPacked = ".bak.gz";
constexpr std::string_view kPlain = ".bak";  // the history of version 0.2.0, not packed

using Clock = std::chrono::system_clock;

// "20261208T093512Z"
std::string UtcStamp(Clock::time_point at) {
    using namespace std::chrono;
    const auto second = floor<seconds>(at);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss time{second - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02ld%02ld%02ldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(time.hours().count()), static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return text;
}

std::optional<Clock::time_point> FromUtcStamp(std::string_view stem) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (stem.size() < 16 || stem[8] != 'T' || stem[15] != 'Z') return std::nullopt;
    if (std::sscanf(std::string(stem.substr(0, 15)).c_str(), "%4u%2u%2uT%2u%2u%2u", &y, &mo, &d, &h, &mi, &s) != 6)
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year(static_cast<int>(y)), month(mo), day(d)};
    if (!date.ok()) return std::nullopt;
    return sys_days(date) + hours(h) + minutes(mi) + seconds(s);
}

// The version's two characters in a name: letters and digits as they are, anything else in hex.
std::string FirmwareTag(const DcFirmware& firmware) {
    if (firmware.version.empty()) return {};
    std::string tag = ".fw";
    for (const char c : firmware.version) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            tag += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            tag += hex;
        }
    }
    if (firmware.revision) tag += ".r" + std::to_string(*firmware.revision);
    return tag;
}

DcFirmware FirmwareOfName(const std::string& name) {
    DcFirmware firmware;
    const std::size_t at = name.find(".fw");
    if (at == std::string::npos) return firmware;
    std::size_t i = at + 3;
    while (i < name.size() && name[i] != '.') {
        if (name[i] == '%' && i + 2 < name.size()) {
            firmware.version += static_cast<char>(std::strtol(name.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            firmware.version += name[i++];
        }
    }
    if (name.compare(i, 2, ".r") == 0) {
        unsigned revision = 0;
        if (std::sscanf(name.c_str() + i + 2, "%u", &revision) == 1 && revision < 256)
            firmware.revision = static_cast<std::uint8_t>(revision);
    }
    return firmware;
}

// Which of two reads in one second came later: "-2" after the stamp.
int SequenceOf(const std::string& name) {
    if (name.size() < 17 || name[16] != '-') return 1;
    return std::atoi(name.c_str() + 17);
}

bool IsHistoryFile(const std::string& name) { return name.ends_with(kPacked) || name.ends_with(kPlain); }

// A history file's backup-file bytes and, when it carries one, the moment its profile was read.
struct Unpacked {
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::optional<Clock::time_point> readAt;
};

Unpacked Unpack(ProfileFiles& files, const std::filesystem::path& file) {
    Unpacked out;
    platform::FileRead read = files.Fs().Read(file, kProfileFileLimit);
    if (read.status != platform::ReadStatus::Ok) return out;
    if (auto member = LooksGzipped(read.bytes) ? Gunzip(read.bytes, kBackupFileSize + 1) : std::nullopt) {
        out.bytes = std::move(member->bytes);
        if (member->mtime > 0) out.readAt = Clock::time_point(std::chrono::seconds(member->mtime));
    } else {
        out.bytes = std::move(read.bytes);
        out.readAt = FromUtcStamp(file.filename().string());
    }
    out.ok = true;
    return out;
}

HistoryEntry EntryOf(ProfileFiles& files, const std::filesystem::path& file, const std::string& folderSerial) {
    HistoryEntry entry{file, folderSerial, std::nullopt, -1, FirmwareOfName(file.filename().string())};
    const Unpacked unpacked = Unpack(files, file);
    if (!unpacked.ok) return entry;
    entry.readAt = unpacked.readAt;
    for (const std::uint16_t memoryBlocks : {std::uint16_t{1024}, std::uint16_t{512}}) {
        const DecodedBackup decoded = DecodeBackupFile(unpacked.bytes, memoryBlocks);
        if (decoded.check != BackupCheck::Ok) continue;
        entry.blocks = decoded.image->ProfileBlockCount;
        entry.serial = SerialText(SerialOf(decoded.image->SerialDigits));
        break;
    }
    return entry;
}

auto Order(const HistoryEntry& e) {
    return std::make_tuple(e.serial, e.readAt.value_or(Clock::time_point{}), SequenceOf(e.file.filename().string()),
                           e.file.filename().string());
}

std::vector<HistoryEntry> EntriesIn(ProfileFiles& files, const std::filesystem::path& folder, const std::string& serial) {
    std::vector<HistoryEntry> entries;
    for (const std::string& name : files.Fs().List(folder)) {
        if (!IsHistoryFile(name) || files.Fs().Look(folder / name).kind != platform::FileKind::File) continue;
        entries.push_back(EntryOf(files, folder / name, serial));
    }
    std::sort(entries.begin(), entries.end(), [](const HistoryEntry& a, const HistoryEntry& b) { return Order(a) < Order(b); });
    return entries;
}

std::vector<std::string> SerialFolders(ProfileFiles& files, const std::filesystem::path& backupFolder,
                                       std::optional<std::int32_t> serial) {
    if (serial) return {SerialText(*serial)};
    std::vector<std::string> folders;
    for (const std::string& name : files.Fs().List(HistoryFolder(backupFolder)))
        if (files.Fs().Look(HistoryFolder(backupFolder) / name).kind == platform::FileKind::Folder) folders.push_back(name);
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace

std::filesystem::path HistoryFolder(const std::filesystem::path& backupFolder) { return backupFolder / "history"; }

std::filesystem::path HistoryFolderOf(const std::filesystem::path& backupFolder, std::int32_t serial) {
    return HistoryFolder(backupFolder) / SerialText(serial);
}

HistoryCopy KeepInHistory(ProfileFiles& files, const std::filesystem::path& backupFolder, const ProfileImage& image,
                          const DcFirmware& firmware, Clock::time_point readAt, HistoryMatch match) {
    HistoryCopy copy;
    const std::int32_t serial = SerialOf(image.SerialDigits);
    const std::filesystem::path folder = HistoryFolderOf(backupFolder, serial);
    // A planted link would send every diver's log somewhere else.
    for (const auto& f : {HistoryFolder(backupFolder), folder}) {
        if (files.Fs().Look(f).kind == platform::FileKind::Link) {
            copy.file = f;
            copy.error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return copy;
        }
    }
    const std::vector<std::uint8_t> bytes = EncodeBackupFile(image);
    const std::vector<HistoryEntry> entries = EntriesIn(files, folder, SerialText(serial));
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const Unpacked held = Unpack(files, it->file);
        if (held.ok && held.bytes == bytes) {
            copy.file = it->file;
            return copy;
        }
        if (match == HistoryMatch::Newest) break;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(readAt.time_since_epoch()).count();
    const std::string stamp = UtcStamp(readAt);
    const std::string tag = FirmwareTag(firmware);
    const std::vector<std::uint8_t> packed = Gzip(bytes, seconds, stamp + tag + std::string(kPlain));
    // Reads within one second are numbered in the order they were made, whatever firmware ran.
    const std::vector<std::string> names = files.Fs().List(folder);
    const auto taken = [&names](const std::string& prefix) {
        return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n.starts_with(prefix); });
    };
    for (int n = 1; n < 1000; ++n) {
        const std::string numbered = stamp + (n > 1 ? "-" + std::to_string(n) : "");
        if (taken(numbered + ".")) continue;
        copy.file = folder / (numbered + tag + std::string(kPacked));
        const ProfileFiles::Created created = files.CreateVerified(copy.file, packed);
        copy.error = created.error;
        if (created.error != std::errc::file_exists) break;
    }
    copy.written = !copy.error;
    return copy;
}

std::vector<HistoryEntry> ListHistory(ProfileFiles& files, const std::filesystem::path& backupFolder,
                                      std::optional<std::int32_t> serial) {
    std::vector<HistoryEntry> all;
    for (const std::string& folderSerial : SerialFolders(files, backupFolder, serial)) {
        std::vector<HistoryEntry> entries = EntriesIn(files, HistoryFolder(backupFolder) / folderSerial, folderSerial);
        all.insert(all.end(), entries.begin(), entries.end());
    }
    std::stable_sort(all.begin(), all.end(), [](const HistoryEntry& a, const HistoryEntry& b) { return Order(a) < Order(b); });
    return all;
}

std::vector<std::filesystem::path> PruneHistory(ProfileFiles& files, const std::filesystem::path& backupFolder, int keep,
                                                std::optional<std::int32_t> serial) {
    std::vector<std::filesystem::path> removed;
    keep = std::max(keep, 1);
    for (const std::string& folderSerial : SerialFolders(files, backupFolder, serial)) {
        const std::vector<HistoryEntry> entries = EntriesIn(files, HistoryFolder(backupFolder) / folderSerial, folderSerial);
        const auto old = static_cast<std::ptrdiff_t>(entries.size()) - keep;
        for (std::ptrdiff_t i = 0; i < old; ++i)
            if (!files.Fs().Remove(entries[static_cast<std::size_t>(i)].file)) removed.push_back(entries[static_cast<std::size_t>(i)].file);
    }
    return removed;
}

}  // namespace verno::profile
