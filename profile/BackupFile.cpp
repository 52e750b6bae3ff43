#include "profile/BackupFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace verno::profile {

namespace {

std::string SystemReason(int error) { return std::error_code(error, std::generic_category()).message(); }

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
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

}  // namespace

std::string SerialText(std::int32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d", static_cast<int>(serial));
    return text;
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
    // The folder comes with the first backup: the dive logs of this user's watches, nobody
    // else's to read.
    std::error_code ec;
    if (!path.parent_path().empty() && std::filesystem::create_directories(path.parent_path(), ec))
        std::filesystem::permissions(path.parent_path(), std::filesystem::perms::owner_all, ec);
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return {false, SystemReason(errno)};
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return {false, SystemReason(error)};
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return {false, SystemReason(error)};
    }
    // Makes the rename itself durable. Some file systems cannot sync a folder; the file is
    // complete under its name either way, so that is not a failure.
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {true, {}};
}

}  // namespace verno::profile
