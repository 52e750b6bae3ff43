#pragma once
// What the profile procedures work with: the link, the firmware image, the front end, the PC's
// clock, the files, the process priority, the custody of the profile, the attached DC's
// firmware and whether this attempt has failed. Built by the wizard, handed to the procedures
// by reference; its state changes only through its methods.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "common/WallClock.h"
#include "common/WizardSurface.h"
#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "platform/Files.h"
#include "platform/ProcessPriority.h"
#include "platform/StayAwake.h"
#include "profile/Failure.h"
#include "profile/History.h"
#include "profile/ProfileFiles.h"
#include "profile/ProfileState.h"

namespace verno::profile {

// Sets the priority class of the program's own process; returns the class in force.
using PrioritySetter = std::function<std::uint32_t(std::uint32_t priorityClass)>;

using platform::kHighPriorityClass;
using platform::kNormalPriorityClass;
using platform::kRealtimePriorityClass;

class ProfileSession {
public:
    ProfileSession(link::CommModule& comm, const firmware::FirmwareImage& fw, WizardSurface& surface,
                   const WallClock& wallClock, platform::FileSystem& fs, std::filesystem::path backupFolder,
                   PrioritySetter setPriority);
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;
    virtual ~ProfileSession() = default;

    link::CommModule& Comm() { return comm_; }
    const firmware::FirmwareImage& Fw() const { return fw_; }
    WizardSurface& Ui() { return surface_; }
    ProfileFiles& Files() { return files_; }
    const std::filesystem::path& BackupFolder() const { return backupFolder_; }
    std::uint32_t SetPriority(std::uint32_t priorityClass) { return setPriority_(priorityClass); }
    ProfileState& Profile() { return profile_; }
    const ProfileState& Profile() const { return profile_; }
    // What holds off sleep, shutdown and log-off while a WritingDc lives; by default nothing.
    void StayAwakeWith(platform::StayAwake& awake) { awake_ = &awake; }

    // The attached DC's identity and firmware, as its identity and revision were last read.
    const std::string& Identity() const { return identity_; }
    const std::string& DcVersion() const { return dcVersion_; }
    std::uint8_t DcRevision() const { return dcRevision_.value_or(0); }
    DcFirmware DcRuns() const { return {dcVersion_, dcRevision_}; }
    void DcIdentified(std::string identity, std::string version);
    void DcRevisionRead(std::uint8_t revision) { dcRevision_ = revision; }

    // This attempt has failed: a step said so with its rows. Back starts a new attempt.
    bool AttemptFailed() const { return attemptFailed_; }
    void FailAttempt() { attemptFailed_ = true; }
    void NewAttempt() { attemptFailed_ = false; }

    std::string Text(int n) { return surface_.LoadText(n); }
    // A step failed: the attempt has failed, and the rows the failure table gives say what went
    // wrong (values fill the row's text, or are the row itself when the table gives none); the
    // stage is reset.
    void Fail(Failure failure, std::initializer_list<std::string_view> values = {});
    // SetDateTime with the PC's date and time now and the extra byte 233. A DC that refuses the
    // record keeps its old time: a warning row says so. A clock record that did not get through
    // fails the attempt.
    void SetDcClock();
    // Every file with a profile that this run leaves on disk and why, as far as they are there.
    std::vector<KeptFile> FilesKept();
    // Keeps the profile in the DC's history, read as the DC now runs: a history file that
    // already holds it (the newest, or with Any any of them), else a new one.
    HistoryCopy KeepInHistory(const ProfileImage& image, HistoryMatch match = HistoryMatch::Newest);
    // Removes the file the profile to write back lies in, once the history holds a copy of it and
    // while it is still the file that was read. When no copy can be made it stays, and a row
    // (text noCopy: %1 the file, %2 the system's reason) says so. Whether it was removed.
    bool RemoveSourceWithCopyInHistory(int noCopy);

private:
    friend class WritingDc;
    void HoldAwake();
    void ReleaseAwake();

    link::CommModule& comm_;
    const firmware::FirmwareImage& fw_;
    WizardSurface& surface_;
    const WallClock& wallClock_;
    ProfileFiles files_;
    std::filesystem::path backupFolder_;
    PrioritySetter setPriority_;
    ProfileState profile_;
    std::string identity_;
    std::string dcVersion_;  // two single-byte characters; empty until an identity gave one
    std::optional<std::uint8_t> dcRevision_;
    bool attemptFailed_ = false;
    platform::NoStayAwake noAwake_;
    platform::StayAwake* awake_ = &noAwake_;
    int awakeHolds_ = 0;
};

// While one lives the DC's memory is being written: the system does not sleep, shut down or log
// off. They nest; the hold ends with the outermost.
class WritingDc {
public:
    explicit WritingDc(ProfileSession& s) : s_(s) { s_.HoldAwake(); }
    ~WritingDc() { s_.ReleaseAwake(); }
    WritingDc(const WritingDc&) = delete;
    WritingDc& operator=(const WritingDc&) = delete;

private:
    ProfileSession& s_;
};

}  // namespace verno::profile
