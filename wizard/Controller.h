#pragma once
// The wizard: its start-up, the stages driven by Next, Back and Close, and what the window owns
// (configuration record, catalogue, link, firmware image, the update session with ProfileSafe and
// KeepProfile). It shows and asks through a View and reaches the machine through a Host, and
// knows nothing of widgets or terminals: the window and verno-update run the same sequences.
//
// Everything runs on one thread. The DC commands and the reset wait let the host's pump run, and
// a click (Close above all) runs inside it; Close then ends the program there, and the
// interrupted command never resumes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "common/ConfigRecord.h"
#include "common/WizardSurface.h"
#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "update/CheckDc.h"
#include "update/RestoreFile.h"
#include "update/Session.h"
#include "update/UpdateFirmware.h"
#include "wizard/GuardedLink.h"
#include "wizard/Host.h"
#include "wizard/RunSummary.h"
#include "wizard/View.h"

namespace verno::wizard {

enum class State {
    StartingUp,  // the load handler runs
    PageOne,     // stage 1: page 1 shown, Next enabled
    Testing,     // stage 2: Next reads the DC's identity
    Updating,    // stage 2: the update runs inside Next
    Finished,    // stage 2: the update has returned
    Closing,     // the Close handler runs
    Ended,       // the program has ended (only a test host returns from that)
};

// What the interface test of the last Next found.
enum class NextResult { NotTried, NoAnswer, OtherModel, Accepted };

// Why the start-up ended the program.
enum class StartUpFailure { None, Configuration, Catalogue, FirmwareFile, Port };

enum ExitStatus : int {
    kExitUpdated = 0,        // updated, or no update was needed
    kExitFailed = 1,         // the DC did not answer, is another model, or the update failed
    kExitStartUpFailed = 2,  // configuration record, catalogue, firmware file or port
};

class Controller final : public WizardSurface, private link::CableWatch, private platform::StayAwake {
public:
    Controller(View& view, Host& host);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // The load handler: stage 1, the buttons shown, then the start-up. False when the program
    // ended during the start-up.
    bool Load();

    void NextClick();
    void BackClick();
    void CloseClick();
    // For the service bench, on page 1: a look at the attached DC (identity, versions, serial
    // number, profile size, whether the firmware file would update it), then the end of the
    // connection. Nothing is written to the DC or to disk. nullopt when not on page 1.
    std::optional<update::DcCheck> CheckClick();
    // For verno-update --restore, on page 1: writes a profile file the user chose back into the
    // attached DC it was read from, after one confirmation. nullopt when not on page 1.
    std::optional<update::RestoreFileResult> RestoreClick(const std::filesystem::path& file);
    // The window's way to the same: a file dialog at the history folder, then RestoreClick.
    std::optional<update::RestoreFileResult> ChooseAndRestoreClick();

    // --- WizardSurface: what the procedures report through ---
    void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status,
                        std::string_view id = {}) override;
    void SetTaskStatus(const std::string& status) override;
    // After a failed step: normal process priority, Back enabled (once the update has returned).
    void ResetStage() override;
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    MessageAnswer Ask(const QuestionBox& box) override;
    void ShowCalling(const std::string& text) override;
    std::string LoadText(int n) override;

    // --- state, for the front ends and the tests ---
    State CurrentState() const { return state_; }
    std::int16_t Stage() const;
    bool ProfileSafe() const;
    // How the run went, so far or at its end.
    RunSummary Summary();
    NextResult LastNext() const { return lastNext_; }
    // How the last update that ran to its end ended.
    std::optional<update::UpdateResult> LastUpdate() const { return lastUpdate_; }
    // The DC's firmware version when Next met it; empty before.
    const std::string& VersionMet() const { return versionMet_; }
    // The files with a profile that the end left on disk, and named, with why.
    const std::vector<profile::KeptFile>& KeptProfiles() const { return keptProfiles_; }
    // The firmware file in use, and its image once the start-up has read it.
    std::filesystem::path FirmwareFilePath() const { return config_ ? config_->FirmwareFilePath : std::filesystem::path(); }
    const firmware::FirmwareImage* Firmware() const { return firmware_ ? &*firmware_ : nullptr; }
    StartUpFailure StartUpFailed() const { return startUpFailure_; }
    int ExitStatus() const { return exitStatus_; }
    link::CommModule& Comm() { return comm_; }
    const update::Session* UpdateSession() const { return session_.get(); }

private:
    bool InitInfo();
    // False when the catalogue cannot be used: the program has then ended.
    bool OpenCatalogue();
    // Reads and checks the firmware file, with its task-log rows; false when the program must end.
    bool GetCode();
    void FailStartUp(StartUpFailure why);
    void Decorate();
    void SetCaptions();
    void LoadStepInstructions(int n);
    // The interface test found no DC to update: page 1 stays, with a box that says why.
    void BackToPageOne(NextResult why, const std::string& message);
    void StartUpdate();
    void GoBack();
    // --- CableWatch: the cable dropped off and is awaited; the running step's row says so ---
    void CableLost(const std::string& reason) override;
    bool CableAwaited(int secondsLeft) override;
    void CableBack(const std::string& device) override;
    void CableNotBack() override;
    void ShowCableState(const std::string& text, bool change);
    // --- StayAwake: the system's hold and the window's answer to the session's end together ---
    void Hold(const std::string& why) override;
    void Release() override;
    // Before the end: the verdict after a recovery, and every file with a profile that stays.
    void TellTheEnd(bool recoveryRan, const std::optional<std::string>& dcVersion);
    void EndProgram();

    View& view_;
    Host& host_;
    GuardedLink link_;
    link::CommModule comm_;
    catalogue::Catalogue catalogue_;
    std::optional<ConfigRecord> config_;
    std::optional<firmware::FirmwareImage> firmware_;
    std::unique_ptr<update::Session> session_;

    State state_ = State::StartingUp;
    // A step reset the stage while the update still ran: Back comes when the update has
    // returned, since a Back click inside its waits would start a second attempt inside the first.
    bool backDue_ = false;
    NextResult lastNext_ = NextResult::NotTried;
    std::optional<update::UpdateResult> lastUpdate_;
    std::optional<update::RestoreFileResult> lastRestore_;
    bool recovered_ = false;
    std::string versionMet_;
    std::vector<profile::KeptFile> keptProfiles_;
    StartUpFailure startUpFailure_ = StartUpFailure::None;
    std::string cableLostReason_;
    int cableSecondsShown_ = -1;
    // A wait for the cable ended without it: the steps that follow only look for it, until the
    // user acts again (a new attempt, an answered box).
    bool cableGivenUp_ = false;
    int exitStatus_ = kExitStartUpFailed;
};

}  // namespace verno::wizard
