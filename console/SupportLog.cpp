#include "console/SupportLog.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <system_error>

namespace verno::console {

namespace {

// The local date and time now: "2026-12-08 09:07:05.123" (with milliseconds, or without).
std::string Stamp(const char* format, bool milliseconds) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    std::string stamp = text;
    if (milliseconds) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms));
        stamp += fraction;
    }
    return stamp;
}

}  // namespace

SupportLog::SupportLog(std::filesystem::path folder) : folder_(std::move(folder)), started_(Stamp("%Y-%m-%d-%H%M%S", false)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    partial_ = folder_ / (started_ + "-" + std::to_string(::getpid()) + ".log.part");
    // The support engineer's file holds the dive log's bytes with --trace: its owner's alone.
    const int fd = ::open(partial_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    file_ = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (file_ == nullptr && fd >= 0) ::close(fd);
    if (file_ == nullptr) problem_ = "cannot write " + partial_.string() + ": " + std::error_code(errno, std::generic_category()).message();
}

SupportLog::~SupportLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void SupportLog::Note(const std::string& text) {
    if (file_ == nullptr) return;
    WriteWireLine();
    std::fprintf(file_, "%s  %s\n", Stamp("%Y-%m-%d %H:%M:%S", false).c_str(), text.c_str());
    std::fflush(file_);
}

void SupportLog::Row(const TaskRow& row) {
    if (file_ == nullptr) return;
    WriteWireLine();
    std::fprintf(file_, "%s %s  %-11s  %s%s%s\n", Stamp("%Y-%m-%d", false).c_str(), row.time.c_str(), IconName(row.icon),
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
            wire_.stamp = Stamp("%H:%M:%S", true);
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
