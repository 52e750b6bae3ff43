#pragma once
// The file system as the profile's files need it: a whole file read, a new file created, a
// rename that never replaces, a removal, a look at a name without following a link. The
// profile code reaches the disk only through FileSystem, so that a test can put a full disk or
// the end of the process in front of any of these calls. SystemFiles is this system's
// (FilesPosix.cpp, FilesWindows.cpp).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace verno::platform {

// Which file a name leads to: the same identity is the same file, whatever its name is now.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

enum class FileKind { Missing, File, Folder, Link, Other };

struct FileInfo {
    FileKind kind = FileKind::Missing;
    FileIdentity identity;
    std::chrono::system_clock::time_point modified{};
};

enum class ReadStatus {
    Ok,
    Missing,     // nothing of that name
    NotAFile,    // a folder, a pipe, a device: never opened for reading
    Unreadable,  // there, but it cannot be opened or read (reason says why)
    TooLarge,    // more bytes than the caller takes
};

struct FileRead {
    ReadStatus status = ReadStatus::Missing;
    std::vector<std::uint8_t> bytes;
    FileIdentity identity;
    std::string reason;  // the system's own words, for Unreadable
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The bytes of a regular file (a link to one is followed), at most `limit` of them.
    virtual FileRead Read(const std::filesystem::path& file, std::size_t limit) = 0;
    // Creates the file under exactly that name, never over a name that is taken and never
    // through a link, readable by its owner alone; its bytes are on the disk when this returns.
    // On a failure nothing is left under the name.
    virtual std::error_code CreateNew(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) = 0;
    // Renames only where no file is (std::errc::file_exists otherwise); durable when it returns.
    virtual std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual std::error_code Remove(const std::filesystem::path& file) = 0;
    // What the name is, without following a link.
    virtual FileInfo Look(const std::filesystem::path& name) = 0;
    // The names in a folder; none when it cannot be read.
    virtual std::vector<std::string> List(const std::filesystem::path& folder) = 0;
    // Makes the folder and the missing ones above it, each new one its owner's alone.
    virtual std::error_code MakeFolders(const std::filesystem::path& folder) = 0;

    // Temporary files carry the number of the process that writes them, so that a later run can
    // tell one abandoned by a process that was killed from one another process is writing.
    virtual std::uint32_t ThisProcess() = 0;
    virtual bool Running(std::uint32_t process) = 0;
};

class SystemFiles final : public FileSystem {
public:
    FileRead Read(const std::filesystem::path& file, std::size_t limit) override;
    std::error_code CreateNew(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) override;
    std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    std::error_code Remove(const std::filesystem::path& file) override;
    FileInfo Look(const std::filesystem::path& name) override;
    std::vector<std::string> List(const std::filesystem::path& folder) override;
    std::error_code MakeFolders(const std::filesystem::path& folder) override;
    std::uint32_t ThisProcess() override;
    bool Running(std::uint32_t process) override;
};

}  // namespace verno::platform
