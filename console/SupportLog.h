#pragma once
// --log DIR: a file per cable and run for a support engineer: the program and its version, the
// firmware file, the port, the DC's identity and serial number, every task-log row with its date
// and time, the outcome, and with --trace every byte on the wire with its time. It is written as
// the run goes (DATE-TIME-PID.log.part) and named DATE-TIME-SERIAL.log at the end.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "console/ConsoleView.h"

namespace verno::console {

class SupportLog {
public:
    explicit SupportLog(std::filesystem::path folder);
    ~SupportLog();
    SupportLog(const SupportLog&) = delete;
    SupportLog& operator=(const SupportLog&) = delete;

    // False when the file could not be created; the reason is in Problem().
    bool Ok() const { return file_ != nullptr; }
    const std::string& Problem() const { return problem_; }

    // A line stamped with the date and time now.
    void Note(const std::string& text);
    void Row(const TaskRow& row);
    void Wire(bool fromPc, std::span<const std::uint8_t> bytes);
    // Names the file after the DC, or "unknown" when its serial number never came, and closes it.
    std::filesystem::path Finish(std::optional<std::string> serial);

private:
    void WriteWireLine();

    std::filesystem::path folder_;
    std::string started_;  // "YYYY-MM-DD-hhmmss"
    std::filesystem::path partial_;
    std::FILE* file_ = nullptr;
    std::string problem_;
    // The wire's bytes arrive a few at a time: bytes of one direction that follow each other
    // closely share a line, stamped with the time of the first.
    struct WireLine {
        bool fromPc = false;
        std::string stamp;
        std::string hex;
        std::size_t count = 0;
        std::chrono::steady_clock::time_point last;
    } wire_;
};

}  // namespace verno::console
