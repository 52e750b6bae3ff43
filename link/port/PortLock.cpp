#include "link/port/PortLock.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cerrno>
#include <fstream>
#include <string_view>
#include <system_error>

#include <csignal>
#include <sys/types.h>

namespace verno::link {

namespace {

// The owner's process id: the first line in decimal (QLockFile, and uucp's text form, padded
// with spaces), or four bytes in the machine's order (uucp's old binary form).
std::optional<long> OwnerPid(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string content(64, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    if (content.size() == 4) {
        std::int32_t binary = 0;
        std::copy_n(content.data(), 4, reinterpret_cast<char*>(&binary));
        return binary > 0 ? std::optional<long>(binary) : std::nullopt;
    }
    const std::size_t start = content.find_first_not_of(' ');
    if (start == std::string::npos) return std::nullopt;
    long pid = 0;
    std::size_t at = start;
    for (; at < content.size() && content[at] >= '0' && content[at] <= '9' && pid < 100000000; ++at)
        pid = pid * 10 + (content[at] - '0');
    const bool lineEnds = at < content.size() && (content[at] == '\n' || content[at] == ' ');
    if (at == start || !lineEnds || pid <= 0) return std::nullopt;
    return pid;
}

bool ProcessGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

std::span<const std::filesystem::path> LockFolders() {
    static const std::array<std::filesystem::path, 9> kFolders{
        "/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
        "/var/tmp",  "/var/lock/lockdev", "/run/lock", std::filesystem::temp_directory_path()};
    return kFolders;
}

std::string LockFileName(const std::string& device) {
    std::string name = device;
    constexpr std::string_view kDev = "/dev/";
    if (name.compare(0, kDev.size(), kDev) == 0) name.erase(0, kDev.size());
    for (char& c : name)
        if (c == '/') c = '_';
    return "LCK.." + name;
}

std::optional<std::filesystem::path> StaleLockFile(const std::string& device,
                                                   std::span<const std::filesystem::path> folders) {
    const std::string name = LockFileName(device);
    for (const auto& folder : folders) {
        const std::filesystem::path file = folder / name;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) continue;
        const auto pid = OwnerPid(file);
        if (pid && ProcessGone(*pid)) return file;
        return std::nullopt;  // the first lock found is the one that counts
    }
    return std::nullopt;
}

}  // namespace verno::link
