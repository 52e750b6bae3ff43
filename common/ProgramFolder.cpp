#include "ProgramFolder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <random>
#include <string>
#include <system_error>

namespace verno {

#ifdef _WIN32
std::filesystem::path ProgramFile() {
    // The buffer grows until the whole path fits: a long path is cut short without an error.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) return std::filesystem::path(name.substr(0, length));
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
}
#else
std::filesystem::path ProgramFile() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe;
}
#endif

std::filesystem::path ProgramFolder() {
    const std::filesystem::path file = ProgramFile();
    std::error_code ec;
    return file.empty() ? std::filesystem::current_path(ec) : file.parent_path();
}

bool FolderWritable(const std::filesystem::path& folder) {
    // Trying is the one answer every system gives alike: modes, access lists and read-only media.
    std::random_device seed;
    char name[40];
    std::snprintf(name, sizeof name, ".verno-write-test-%08x", static_cast<unsigned>(seed()));
    const std::filesystem::path probe = folder / name;
    std::FILE* file = nullptr;
#ifdef _WIN32
    file = _wfopen(probe.c_str(), L"wxb");
#else
    file = std::fopen(probe.c_str(), "wxb");
#endif
    if (file == nullptr) return false;
    std::fclose(file);
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    return true;
}

}  // namespace verno
