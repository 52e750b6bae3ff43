#include "profile/BackupFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <system_error>

#include "common/Sum8.h"
#include "common/Text.h"

namespace verno::profile {

namespace {

// The few file calls the atomic replace needs, on each system.
#ifdef _WIN32
using FileHandle = HANDLE;
const FileHandle kNoFile = INVALID_HANDLE_VALUE;

int LastError() { return static_cast<int>(GetLastError()); }
std::string SystemReason(int error) { return std::error_code(error, std::system_category()).message(); }

// CREATE_NEW fails on any name that exists, a link included: nothing is opened through one.
FileHandle CreateFresh(const std::filesystem::path& file) {
    return CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(FileHandle file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool FlushToDisk(FileHandle file) { return FlushFileBuffers(file) != 0; }
bool CloseFile(FileHandle file) { return CloseHandle(file) != 0; }

// Write-through: the rename is on the disk when this returns, so the folder needs no flush.
bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SyncFolder(const std::filesystem::path&) {}
#else
using FileHandle = int;
constexpr FileHandle kNoFile = -1;

int LastError() { return errno; }
std::string SystemReason(int error) { return std::error_code(error, std::generic_category()).message(); }

FileHandle CreateFresh(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool WriteAll(FileHandle fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FlushToDisk(FileHandle fd) { return ::fsync(fd) == 0; }
bool CloseFile(FileHandle fd) { return ::close(fd) == 0; }

bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Makes a rename in the folder durable. Some file systems cannot sync a folder; the file is
// complete under its name either way, so that is not a failure.
void SyncFolder(const std::filesystem::path& folder) {
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}
#endif

void RemoveFile(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

// Made readable by its owner alone, when this program makes it. The first folder that cannot
// be made is the cause to tell (no permission, a file in the way), not the missing file after it.
std::error_code MakePrivateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    if (folder.empty() || std::filesystem::exists(folder, ec)) return {};
    if (const std::error_code above = MakePrivateFolders(folder.parent_path())) return above;
    if (!std::filesystem::create_directory(folder, ec)) return ec ? ec : std::make_error_code(std::errc::not_a_directory);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    return {};
}

std::filesystem::path FreshTemporaryName(const std::filesystem::path& path) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    std::filesystem::path temporary = path;
    temporary += suffix;
    return temporary;
}

bool RowSumsHold(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, kProfileColumns - 2> row{};
    for (std::size_t r = 0; r < kProfileRows; ++r) {
        for (std::size_t c = 1; c < kSumColumn; ++c) row[c - 1] = bytes[BackupValueOffset(r, c)];
        if (Sum8(row) != bytes[BackupValueOffset(r, kSumColumn)]) return false;
    }
    return true;
}


}  // namespace

std::string SerialText(std::int32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d", static_cast<int>(serial));
    return text;
}

std::array<std::uint8_t, 17> SerialDigitsOf(std::int32_t serial) {
    std::array<std::uint8_t, 17> digits{};
    const std::string text = SerialText(serial);
    for (std::size_t i = 0; i < 6 && i < text.size(); ++i) digits[i] = static_cast<std::uint8_t>(text[i] - '0');
    return digits;
}

std::int32_t SerialOf(const std::array<std::uint8_t, 17>& digits) {
    std::int32_t serial = 0;
    for (std::size_t i = 0; i < 6; ++i) serial = serial * 10 + digits[i] % 10;
    return serial;
}

std::filesystem::path BackupFileName(const std::filesystem::path& folder, std::uint16_t modelNumber,
                                     std::int32_t serial) {
    return folder / (std::to_string(modelNumber) + "." + SerialText(serial) + ".bin");
}

std::vector<std::uint8_t> EncodeBackupFile(const ProfileState& state) {
    std::vector<std::uint8_t> bytes(kBackupFileSize, 0);
    std::copy(state.ProfileHeader.begin(), state.ProfileHeader.end(), bytes.begin() + kBackupHeaderOffset);
    std::copy(state.SerialDigits.begin(), state.SerialDigits.end(), bytes.begin() + kBackupSerialOffset);
    for (std::size_t c = 0; c < kProfileColumns; ++c) {
        for (std::size_t r = 0; r < kProfileRows; ++r) {
            const auto v = static_cast<std::uint16_t>(state.ProfileBlocks[r][c]);
            const std::size_t at = BackupValueOffset(r, c);
            bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
            bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return bytes;
}

BackupFileStatus DecodeBackupFile(std::span<const std::uint8_t> bytes, BackupContents& out) {
    if (bytes.size() != kBackupFileSize) return BackupFileStatus::Damaged;
    // Checked whole before anything is copied, so a damaged file leaves the caller's state alone.
    for (std::size_t c = 0; c < kProfileColumns; ++c) {
        for (std::size_t r = 0; r < kProfileRows; ++r) {
            const std::size_t at = BackupValueOffset(r, c);
            const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
            if (v < 0 || (c > 0 && v > 255)) return BackupFileStatus::Damaged;
        }
    }
    // A flipped byte would otherwise go into the DC as if it were the diver's.
    if (!RowSumsHold(bytes)) return BackupFileStatus::Damaged;
    std::copy_n(bytes.begin() + kBackupHeaderOffset, out.ProfileHeader.size(), out.ProfileHeader.begin());
    std::copy_n(bytes.begin() + kBackupSerialOffset, out.SerialDigits.size(), out.SerialDigits.begin());
    for (std::size_t c = 0; c < kProfileColumns; ++c) {
        for (std::size_t r = 0; r < kProfileRows; ++r) {
            const std::size_t at = BackupValueOffset(r, c);
            out.ProfileBlocks[r][c] =
                static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
        }
    }
    return BackupFileStatus::Ok;
}

BackupFileStatus ReadBackupFile(const std::filesystem::path& path, BackupContents& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return BackupFileStatus::Missing;
    std::ifstream in(path, std::ios::binary);
    if (!in) return BackupFileStatus::Unreadable;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kBackupFileSize);
    char chunk[8192];
    // Read at most one byte past the expected size: enough to see that the file is too long.
    while (bytes.size() <= kBackupFileSize && in.read(chunk, sizeof chunk).gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    }
    if (in.bad()) return BackupFileStatus::Unreadable;
    return DecodeBackupFile(bytes, out);
}

BackupWriteResult WriteBackupFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    // A link planted at the backup's name could send the dive log into somebody else's file.
    if (std::filesystem::is_symlink(path, ec))
        return {false, std::make_error_code(std::errc::too_many_symbolic_link_levels).message()};
    if (const std::error_code made = MakePrivateFolders(path.parent_path())) return {false, made.message()};
    const std::filesystem::path temporary = FreshTemporaryName(path);
    const FileHandle file = CreateFresh(temporary);
    if (file == kNoFile) return {false, SystemReason(LastError())};
    if (!WriteAll(file, bytes) || !FlushToDisk(file)) {
        const int error = LastError();
        CloseFile(file);
        RemoveFile(temporary);
        return {false, SystemReason(error)};
    }
    if (!CloseFile(file) || !ReplaceFile(temporary, path)) {
        const int error = LastError();
        RemoveFile(temporary);
        return {false, SystemReason(error)};
    }
    SyncFolder(path.parent_path());
    return {true, {}};
}

std::filesystem::path MoveAside(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::path target = to;
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(target, ec)); ++n) {
        if (n > 99) return {};
        target = to.parent_path() / (to.stem().string() + "-" + std::to_string(n) + to.extension().string());
    }
    std::filesystem::rename(from, target, ec);
    return ec ? std::filesystem::path() : target;
}

namespace {

// A moment in UTC as text: "20261208T093512Z" for a file name, or "2026-12-08 09:35 UTC" for people.
std::string UtcText(std::chrono::system_clock::time_point at, bool forFileName) {
    using namespace std::chrono;
    const auto second = floor<seconds>(at);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss time{second - day};
    const std::string year = std::to_string(static_cast<int>(date.year()));
    const std::string month = TwoDigitNumber(static_cast<unsigned>(date.month()));
    const std::string dayOfMonth = TwoDigitNumber(static_cast<unsigned>(date.day()));
    const std::string hour = TwoDigitNumber(static_cast<long>(time.hours().count()));
    const std::string minute = TwoDigitNumber(static_cast<long>(time.minutes().count()));
    if (forFileName) return year + month + dayOfMonth + "T" + hour + minute + TwoDigitNumber(static_cast<long>(time.seconds().count())) + "Z";
    return year + "-" + month + "-" + dayOfMonth + " " + hour + ":" + minute + " UTC";
}

std::optional<std::chrono::system_clock::time_point> WrittenAt(const std::filesystem::path& file) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(file, ec);
    if (ec) return std::nullopt;
    return std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::filesystem::file_time_type::clock::to_sys(written));
}

}  // namespace

std::string UtcStamp() { return UtcText(std::chrono::system_clock::now(), true); }

std::string UtcStamp(const std::filesystem::path& file) {
    return UtcText(WrittenAt(file).value_or(std::chrono::system_clock::now()), true);
}

std::string FileTimeText(const std::filesystem::path& file) {
    const auto at = WrittenAt(file);
    return at ? UtcText(*at, false) : std::string();
}

}  // namespace verno::profile
