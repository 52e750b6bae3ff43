#pragma once
// The fuzz input as a file with a path, without touching the file system: the readers that take
// a path see exactly the bytes the decoders are given.

#include <cstdint>
#include <filesystem>
#include <span>

namespace verno::fuzz {

class MemoryFile {
public:
    explicit MemoryFile(std::span<const std::uint8_t> bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // False when the kernel refused the anonymous file or the write; the caller then skips it.
    bool Ok() const { return ok_; }
    std::filesystem::path Path() const;

private:
    int fd_ = -1;
    bool ok_ = false;
};

}  // namespace verno::fuzz
