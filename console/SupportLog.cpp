#include "console/SupportLog.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <system_error>

#include "common/WallClock.h"

namespace verno::console {

namespace {

enum class Stamped { FileName, Line, Date, TimeOfDay };

// The local date and time now: "2026-12-08-090705", "2026-12-08 09:07:05", "2026-12-08" or
// "09:07:05.123" (with milliseconds).
std::string Stamp(Stamped form) {
    const auto now = std::chrono::system_clock::now();
    const LocalDateTime t = LocalTimeAt(now).local;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[96];
    switch (form) {
        case Stamped::FileName:
            std::snprintf(text, sizeof text, "%04d-%02d-%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
            break;
        case Stamped::Line:
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
            break;
        case Stamped::Date: std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day); break;
        case Stamped::TimeOfDay:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, static_cast<int>(ms));
            break;
    }
    return text;
}

// The support engineer's file holds the dive log's bytes with --trace: its owner's alone (on
// Windows by lying in the user's own folders), and no process this one starts inherits it.
std::FILE* CreateLog(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbN");
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (file == nullptr && fd >= 0) ::close(fd);
    return file;
#endif
}

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(::getpid());
#endif
}

}  // namespace

SupportLog::SupportLog(std::filesystem::path folder) : folder_(std::move(folder)), started_(Stamp(Stamped::FileName)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    partial_ = folder_ / (started_ + "-" + std::to_string(ProcessId()) + ".log.part");
    errno = 0;
    file_ = CreateLog(partial_);
    if (file_ == nullptr) problem_ = "cannot write " + partial_.string() + ": " + std::error_code(errno, std::generic_category()).message();
}

SupportLog::~SupportLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void SupportLog::Note(const std::string& text) {
    if (file_ == nullptr) return;
    WriteWireLine();
    std::fprintf(file_, "%s  %s\n", Stamp(Stamped::Line).c_str(), text.c_str());
    std::fflush(file_);
}

void SupportLog::Row(const TaskRow& row) {
    if (file_ == nullptr) return;
    WriteWireLine();
    std::fprintf(file_, "%s %s  %-11s  %s%s%s\n", Stamp(Stamped::Date).c_str(), row.time.c_str(), IconName(row.icon),
                 row.event.c_str(), row.status.empty() ? "" : "  ", row.status.c_str());
    std::fflush(file_);
}

void SupportLog::Wire(bool fromPc, std::span<const std::uint8_t> bytes) {
    if (file_ == nullptr) return;
    constexpr std::size_t kBytesPerLine = 32;
    constexpr auto kTogether = std::chrono::milliseconds(20);
    const auto now = std::chrono::steady_clock::now();
    for (const std::uint8_t b : bytes) {
        if (wire_.count > 0 && (wire_.fromPc != fromPc || wire_.count == kBytesPerLine || now - wire_.last > kTogether))
            WriteWireLine();
        if (wire_.count == 0) {
            wire_.fromPc = fromPc;
            wire_.stamp = Stamp(Stamped::TimeOfDay);
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        wire_.hex += hex;
        ++wire_.count;
        wire_.last = now;
    }
}

void SupportLog::WriteWireLine() {
    if (wire_.count == 0) return;
    std::fprintf(file_, "%s  %s%s\n", wire_.stamp.c_str(), wire_.fromPc ? "PC>" : "DC>", wire_.hex.c_str());
    wire_.hex.clear();
    wire_.count = 0;
}

std::filesystem::path SupportLog::Finish(std::optional<std::string> serial) {
    if (file_ == nullptr) return {};
    WriteWireLine();
    std::fclose(file_);
    file_ = nullptr;
    // Cables without a serial number, started in the same second, must not share a name: a hard
    // link is made only where no file is, so no log replaces another.
    const std::string stem = started_ + "-" + serial.value_or("unknown");
    for (int n = 1; n < 100; ++n) {
        const std::filesystem::path final = folder_ / (stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".log");
        std::error_code ec;
        std::filesystem::create_hard_link(partial_, final, ec);
        if (!ec) {
            std::filesystem::remove(partial_, ec);
            return final;
        }
        if (ec == std::errc::file_exists) continue;
        // A file system without hard links: a plain rename, where no file is yet.
        if (!std::filesystem::exists(final, ec)) std::filesystem::rename(partial_, final, ec);
        return ec ? partial_ : final;
    }
    return partial_;
}

}  // namespace verno::console
