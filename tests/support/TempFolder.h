#pragma once
// A fresh folder per test, removed afterwards.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace verno {

class TempFolder {
public:
    TempFolder() {
        // create_directory is false for a name that exists: a fresh name is tried instead.
        std::random_device seed;
        std::mt19937_64 random{seed()};
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        for (int attempt = 0; attempt < 100 && !ec && path_.empty(); ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "verno-upd-%012llx",
                          static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
            if (std::filesystem::create_directory(base / name, ec)) path_ = base / name;
        }
        if (!path_.empty()) std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace verno
