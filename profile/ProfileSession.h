#pragma once
// What the profile procedures work with: the link, the firmware image, the front end, the PC's
// clock, the folder of the backup files, the process priority and the shared profile state.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

#include "common/WallClock.h"
#include "common/WizardSurface.h"
#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "platform/ProcessPriority.h"
#include "profile/Failure.h"
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
                   const WallClock& wallClock, std::filesystem::path backupFolder, PrioritySetter setPriority);
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;
    virtual ~ProfileSession() = default;

    link::CommModule& comm;
    const firmware::FirmwareImage& fw;
    WizardSurface& surface;
    const WallClock& wallClock;
    std::filesystem::path backupFolder;  // where backup files of DC profiles lie
    PrioritySetter setPriority;
    ProfileState profile;
    ReadFrom dcFirmware;  // the attached DC's version, once its identity was read
    // This attempt has failed: a step said so with its rows. Back starts a new attempt.
    bool attemptFailed = false;

    std::string Text(int n) { return surface.LoadText(n); }
    // A step failed: the attempt has failed, and the rows the failure table gives say what went
    // wrong (values fill the row's text, or are the row itself when the table gives none); the
    // stage is reset.
    void Fail(Failure failure, std::initializer_list<std::string_view> values = {});
    // SetDateTime with the PC's date and time now and the extra byte 233. A DC that refuses the
    // record keeps its old time: a warning row says so. A clock record that did not get through
    // fails the attempt.
    void SetDcClock();
};

}  // namespace verno::profile
