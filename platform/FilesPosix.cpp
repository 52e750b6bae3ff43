#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

namespace verno::platform {

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// A rename in a folder is on the disk once the folder is. Some file systems cannot sync a
// folder; the file is whole under its name either way, so that is no failure.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileRead SystemFiles::Read(const std::filesystem::path& file, std::size_t limit) {
    FileRead result;
    struct stat st {};
    // Looked at before it is opened: opening a pipe could wait for a writer, and opening a
    // serial device changes its lines.
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return result;
        result.status = ReadStatus::Unreadable;
        result.reason = LastError().message();
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = ReadStatus::NotAFile;
        return result;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status = fd < 0 ? ReadStatus::Unreadable : ReadStatus::NotAFile;
        result.reason = LastError().message();
        if (fd >= 0) ::close(fd);
        return result;
    }
    result.identity = IdentityOf(st);
    result.status = ReadStatus::Ok;
    std::uint8_t chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.status = ReadStatus::Unreadable;
            result.reason = LastError().message();
            break;
        }
        if (n == 0) break;
        if (result.bytes.size() + static_cast<std::size_t>(n) > limit) {
            result.status = ReadStatus::TooLarge;
            break;
        }
        result.bytes.insert(result.bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    if (result.status != ReadStatus::Ok) result.bytes.clear();
    return result;
}

std::error_code SystemFiles::CreateNew(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return LastError();
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const std::error_code error = LastError();
        ::close(fd);
        ::unlink(file.c_str());
        return error;
    }
    if (::close(fd) != 0) {
        const std::error_code error = LastError();
        ::unlink(file.c_str());
        return error;
    }
    return {};
}

std::error_code SystemFiles::RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return LastError();
        // A file system without the no-replace rename: a hard link is never made over a name.
        if (::link(from.c_str(), to.c_str()) != 0) return LastError();
        ::unlink(from.c_str());
    }
    SyncFolder(to);
    return {};
}

std::error_code SystemFiles::Remove(const std::filesystem::path& file) {
    if (::unlink(file.c_str()) != 0) return LastError();
    SyncFolder(file);
    return {};
}

FileInfo SystemFiles::Look(const std::filesystem::path& name) {
    FileInfo info;
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return info;
    info.identity = IdentityOf(st);
    info.modified = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    if (S_ISREG(st.st_mode)) info.kind = FileKind::File;
    else if (S_ISDIR(st.st_mode)) info.kind = FileKind::Folder;
    else if (S_ISLNK(st.st_mode)) info.kind = FileKind::Link;
    else info.kind = FileKind::Other;
    return info;
}

std::uint32_t SystemFiles::ThisProcess() { return static_cast<std::uint32_t>(::getpid()); }

bool SystemFiles::Running(std::uint32_t process) {
    // Another user's process may not be signalled, but it runs.
    return process != 0 && (::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM);
}

}  // namespace verno::platform
