#pragma once
// The lock files that keep two programs off one serial device (QSerialPort's, and the uucp
// convention it follows: LCK..<device name> holding the owner's process id). One whose owner
// has ended is stale: the port is free, but the file still says otherwise until it is deleted.

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace verno::link {

// Where lock files are kept, in the order QSerialPort looks.
std::span<const std::filesystem::path> LockFolders();

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
std::string LockFileName(const std::string& device);

// The lock file of device in the first of folders that holds one, when the process that wrote
// it is gone; nothing when there is none, or its owner still runs, or cannot be told.
std::optional<std::filesystem::path> StaleLockFile(const std::string& device,
                                                   std::span<const std::filesystem::path> folders = LockFolders());

}  // namespace verno::link
