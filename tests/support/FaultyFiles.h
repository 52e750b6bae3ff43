#pragma once
// The real disk with named failure modes in front of it: from the n-th call that makes something
// on it (a file, a name, a folder), such calls fail as a full disk or a folder the user may not
// write would fail; or the process ends right there, at any call that changes the disk, its
// files left as they are. Reads and removals work (a removal frees space).

#include <functional>
#include <optional>
#include <system_error>

#include "platform/Files.h"

namespace verno {

// Thrown where the process ends: whoever runs the program in the test catches it and drops
// everything the run held in memory.
struct ProcessEnded {};

class FaultyFiles final : public platform::FileSystem {
public:
    enum class Mode {
        None,
        DiskFull,     // ENOSPC from then on
        NoWriting,    // EACCES from then on
        ProcessEnds,  // the process ends at that call, before it is made
    };

    // Arms the mode at the n-th changing call from now, 1 for the next one.
    void Arm(Mode mode, int n) {
        mode_ = mode;
        countdown_ = n;
    }
    void Disarm() { mode_ = Mode::None; }
    // A new run of the program, as far as the disk can tell: a process number of its own; the
    // runs before it no longer run.
    void NewProcess() { ++process_; }
    int Changes() const { return changes_; }  // changing calls made so far

    platform::FileRead Read(const std::filesystem::path& file, std::size_t limit) override { return disk_.Read(file, limit); }
    std::error_code CreateNew(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) override {
        if (const auto failed = Change()) return *failed;
        return disk_.CreateNew(file, bytes);
    }
    std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (const auto failed = Change()) return *failed;
        return disk_.RenameNoReplace(from, to);
    }
    std::error_code Remove(const std::filesystem::path& file) override {
        if (const auto failed = Change(false)) return *failed;
        return disk_.Remove(file);
    }
    platform::FileInfo Look(const std::filesystem::path& name) override { return disk_.Look(name); }
    std::vector<std::string> List(const std::filesystem::path& folder) override { return disk_.List(folder); }
    std::uint32_t ThisProcess() override { return process_; }
    bool Running(std::uint32_t process) override { return process == process_; }
    std::error_code MakeFolders(const std::filesystem::path& folder) override {
        // Only a folder that is missing makes a change.
        if (disk_.Look(folder).kind == platform::FileKind::Folder) return {};
        if (const auto failed = Change()) return *failed;
        return disk_.MakeFolders(folder);
    }

private:
    std::optional<std::error_code> Change(bool makes = true) {
        ++changes_;
        if (mode_ == Mode::None || --countdown_ > 0) return std::nullopt;
        switch (mode_) {
            case Mode::DiskFull: return makes ? std::optional(std::make_error_code(std::errc::no_space_on_device)) : std::nullopt;
            case Mode::NoWriting: return makes ? std::optional(std::make_error_code(std::errc::permission_denied)) : std::nullopt;
            case Mode::ProcessEnds: mode_ = Mode::None; throw ProcessEnded{};
            case Mode::None: break;
        }
        return std::nullopt;
    }

    platform::SystemFiles disk_;
    Mode mode_ = Mode::None;
    int countdown_ = 0;
    int changes_ = 0;
    std::uint32_t process_ = 1;
};

}  // namespace verno
