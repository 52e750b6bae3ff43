#include "profile/ProfileFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "profile/Gzip.h"

namespace verno::profile {

namespace {

// "<name>.<process, 8 hex digits><random, 8 hex digits>.tmp"
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryTagLength = 1 + 16;

// The process that wrote a temporary file of ours, from its name; nullopt for any other name.
std::optional<std::uint32_t> WriterOf(std::string_view name) {
    if (name.size() < kTemporaryTagLength + kTemporarySuffix.size() || !name.ends_with(kTemporarySuffix)) return std::nullopt;
    const std::string_view tag = name.substr(name.size() - kTemporarySuffix.size() - kTemporaryTagLength, kTemporaryTagLength);
    if (tag[0] != '.' || !std::all_of(tag.begin() + 1, tag.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::strtoul(std::string(tag.substr(1, 8)).c_str(), nullptr, 16));
}

}  // namespace

std::uint64_t Digest(std::span<const std::uint8_t> bytes) {
    // FNV-1a: enough to tell a file from another version of itself.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
    return hash;
}

ProfileFiles::ProfileFiles(platform::FileSystem& fs) : fs_(fs), random_(std::random_device{}()) {}

ProfileFile ProfileFiles::Read(const std::filesystem::path& file, std::uint16_t dcMemoryBlocks) {
    ProfileFile out;
    platform::FileRead read = fs_.Read(file, kProfileFileLimit);
    out.record = {file, read.identity, Digest(read.bytes), read.bytes.size()};
    switch (read.status) {
        case platform::ReadStatus::Ok: break;
        case platform::ReadStatus::Missing: out.status = ProfileFileStatus::Missing; return out;
        case platform::ReadStatus::NotAFile: out.status = ProfileFileStatus::NotAFile; return out;
        case platform::ReadStatus::Unreadable:
            out.status = ProfileFileStatus::Unreadable;
            out.reason = read.reason;
            return out;
        case platform::ReadStatus::TooLarge: out.status = ProfileFileStatus::Damaged; return out;
    }
    std::vector<std::uint8_t> contents;
    // A plain backup file whose header happens to begin with the gzip signature stays plain.
    if (auto member = LooksGzipped(read.bytes) ? Gunzip(read.bytes, kBackupFileSize + 1) : std::nullopt) {
        contents = std::move(member->bytes);
        if (member->mtime > 0) out.readAt = std::chrono::system_clock::time_point(std::chrono::seconds(member->mtime));
    } else {
        contents = std::move(read.bytes);
    }
    if (out.readAt == std::chrono::system_clock::time_point{}) out.readAt = fs_.Look(file).modified;
    DecodedBackup decoded = DecodeBackupFile(contents, dcMemoryBlocks);
    switch (decoded.check) {
        case BackupCheck::Ok:
            out.status = ProfileFileStatus::Ok;
            out.image = std::move(decoded.image);
            break;
        case BackupCheck::Empty: out.status = ProfileFileStatus::Empty; break;
        case BackupCheck::OtherSize: out.status = ProfileFileStatus::OtherSize; break;
        case BackupCheck::Damaged: out.status = ProfileFileStatus::Damaged; break;
    }
    return out;
}

std::filesystem::path ProfileFiles::TemporaryName(const std::filesystem::path& file) {
    char tag[32];
    std::snprintf(tag, sizeof tag, ".%08lx%08lx", static_cast<unsigned long>(fs_.ThisProcess()),
                  static_cast<unsigned long>(random_() & 0xFFFFFFFFu));
    std::filesystem::path temporary = file;
    temporary += std::string(tag) + std::string(kTemporarySuffix);
    return temporary;
}

ProfileFiles::Created ProfileFiles::CreateVerified(const std::filesystem::path& file,
                                                   std::span<const std::uint8_t> bytes) {
    Created out;
    if (const std::error_code made = fs_.MakeFolders(file.parent_path())) {
        out.error = made;
        return out;
    }
    // A link at the name could send the dive log into somebody else's file.
    if (fs_.Look(file).kind != platform::FileKind::Missing) {
        out.error = std::make_error_code(std::errc::file_exists);
        return out;
    }
    const std::filesystem::path temporary = TemporaryName(file);
    if (const std::error_code created = fs_.CreateNew(temporary, bytes)) {
        out.error = created;
        return out;
    }
    const platform::FileRead back = fs_.Read(temporary, bytes.size());
    if (back.status != platform::ReadStatus::Ok || !std::equal(back.bytes.begin(), back.bytes.end(), bytes.begin(), bytes.end())) {
        fs_.Remove(temporary);
        // What the disk gives back is not what was written: the file cannot be trusted with a profile.
        out.error = std::make_error_code(std::errc::io_error);
        return out;
    }
    if (const std::error_code renamed = fs_.RenameNoReplace(temporary, file)) {
        fs_.Remove(temporary);
        out.error = renamed;
        return out;
    }
    out.record = {file, back.identity, Digest(bytes), bytes.size()};
    return out;
}

std::filesystem::path ProfileFiles::SetAside(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::path target = to;
    for (int n = 2; n < 100; ++n) {
        const std::error_code moved = fs_.RenameNoReplace(from, target);
        if (!moved) return target;
        if (moved != std::errc::file_exists) return {};
        target = to;
        target += "-" + std::to_string(n);
    }
    return {};
}

bool ProfileFiles::Unchanged(const FileRecord& record) {
    if (record.file.empty()) return false;
    const platform::FileRead now = fs_.Read(record.file, kProfileFileLimit);
    return now.status == platform::ReadStatus::Ok && now.identity == record.identity &&
           now.bytes.size() == record.size && Digest(now.bytes) == record.digest;
}

bool ProfileFiles::RemoveIfUnchanged(const FileRecord& record) {
    return Unchanged(record) && !fs_.Remove(record.file);
}

void ProfileFiles::RemoveAbandoned(const std::filesystem::path& backupFolder) {
    RemoveAbandonedIn(backupFolder);
    const std::filesystem::path history = backupFolder / "history";
    if (fs_.Look(history).kind != platform::FileKind::Folder) return;
    for (const std::string& serial : fs_.List(history))
        if (fs_.Look(history / serial).kind == platform::FileKind::Folder) RemoveAbandonedIn(history / serial);
}

void ProfileFiles::RemoveAbandonedIn(const std::filesystem::path& folder) {
    for (const std::string& name : fs_.List(folder)) {
        const std::optional<std::uint32_t> writer = WriterOf(name);
        // Another process's file is still being written, or about to take its name.
        if (!writer || fs_.Running(*writer)) continue;
        if (fs_.Look(folder / name).kind == platform::FileKind::File) fs_.Remove(folder / name);
    }
}

}  // namespace verno::profile
