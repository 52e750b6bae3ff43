#include <windows.h>

#include <algorithm>

#include "platform/Files.h"

namespace verno::platform {

namespace {

std::error_code LastError() {
    const DWORD error = GetLastError();
    // Spelled out: the callers compare with std::errc, which a Windows error code does not map to.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return std::make_error_code(std::errc::file_exists);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return std::make_error_code(std::errc::no_such_file_or_directory);
    return {static_cast<int>(error), std::system_category()};
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes now; false when the close failed.
    bool Close() {
        const bool closed = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE h_;
};

FileIdentity IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

std::chrono::system_clock::time_point TimeOf(const FILETIME& time) {
    // FILETIME counts 100 ns steps from 1601; the system clock counts from 1970.
    constexpr std::uint64_t kFrom1601To1970 = 116444736000000000ull;
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    const auto since1970 = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>(
        static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kFrom1601To1970));
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(since1970));
}

}  // namespace

FileRead SystemFiles::Read(const std::filesystem::path& file, std::size_t limit) {
    FileRead result;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::error_code error = LastError();
        if (error == std::errc::no_such_file_or_directory) return result;
        result.status = ReadStatus::Unreadable;
        result.reason = error.message();
        return result;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        result.status = ReadStatus::NotAFile;
        return result;
    }
    Handle in(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.ok()) {
        result.status = ReadStatus::Unreadable;
        result.reason = LastError().message();
        return result;
    }
    // NUL, COM ports and pipes have names too.
    if (GetFileType(in.get()) != FILE_TYPE_DISK) {
        result.status = ReadStatus::NotAFile;
        return result;
    }
    result.identity = IdentityOf(in.get());
    result.status = ReadStatus::Ok;
    std::uint8_t chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), chunk, sizeof chunk, &got, nullptr)) {
            result.status = ReadStatus::Unreadable;
            result.reason = LastError().message();
            break;
        }
        if (got == 0) break;
        if (result.bytes.size() + got > limit) {
            result.status = ReadStatus::TooLarge;
            break;
        }
        result.bytes.insert(result.bytes.end(), chunk, chunk + got);
    }
    if (result.status != ReadStatus::Ok) result.bytes.clear();
    return result;
}

std::error_code SystemFiles::CreateNew(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
    // CREATE_NEW fails on any name that exists, a link included: nothing is written through one.
    // The file is private by lying below the user's own folders, not by a mode.
    Handle out(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.ok()) return LastError();
    std::size_t done = 0;
    bool written = true;
    while (written && done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        written = WriteFile(out.get(), bytes.data() + done, chunk, &n, nullptr) && n > 0;
        done += n;
    }
    if (!written || !FlushFileBuffers(out.get()) || !out.Close()) {
        const std::error_code error = LastError();
        out.Close();
        DeleteFileW(file.c_str());
        return error;
    }
    return {};
}

std::error_code SystemFiles::RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING a taken name is refused; write-through makes it durable.
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return LastError();
    return {};
}

std::error_code SystemFiles::Remove(const std::filesystem::path& file) {
    if (!DeleteFileW(file.c_str())) return LastError();
    return {};
}

FileInfo SystemFiles::Look(const std::filesystem::path& name) {
    FileInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) return info;
    info.modified = TimeOf(data.ftLastWriteTime);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) info.kind = FileKind::Link;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) info.kind = FileKind::Folder;
    else info.kind = FileKind::File;
    Handle handle(CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (handle.ok()) {
        info.identity = IdentityOf(handle.get());
        if (info.kind == FileKind::File && GetFileType(handle.get()) != FILE_TYPE_DISK) info.kind = FileKind::Other;
    }
    return info;
}

std::uint32_t SystemFiles::ThisProcess() { return GetCurrentProcessId(); }

bool SystemFiles::Running(std::uint32_t process) {
    Handle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (handle.get() == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    return GetExitCodeProcess(handle.get(), &code) && code == STILL_ACTIVE;
}

}  // namespace verno::platform
