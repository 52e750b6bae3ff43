#include "fuzz/MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace verno::fuzz {

MemoryFile::MemoryFile(std::span<const std::uint8_t> bytes) {
    fd_ = ::memfd_create("verno-fuzz-input", MFD_CLOEXEC);
    if (fd_ < 0) return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
    ok_ = true;
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
}

// Opening this path opens the anonymous file anew, from its first byte.
std::filesystem::path MemoryFile::Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

}  // namespace verno::fuzz
