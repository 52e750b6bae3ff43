#include "wizard/Controller.h"

#include <exception>

#include "catalogue/CatalogueMessage.h"
#include "catalogue/TextsSource.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/FirmwareFile.h"
#include "firmware/Identity.h"
#include "platform/ProcessPriority.h"
#include "profile/ProfileRecovering.h"
#include "update/DcIdentity.h"
#include "update/UpdateFirmware.h"
#include "wizard/InstructionPage.h"
#include "wizard/TestInterface.h"
#include "common/RowIds.h"
#include "profile/History.h"

namespace verno::wizard {

namespace {

constexpr const char* kTaskBarTitle = "QEL 1F Firmware Update";
constexpr const char* kModelCaption = "VERNO 1B ";
constexpr const char* kCopyrightLine = "Copyright \u00A9 QEL. All rights reserved.";
constexpr const char* kMessageTitle = "Firmware Update";

constexpr link::Seconds kClosePause{1.0};
constexpr link::Seconds kSettleBeforeRecovery{0.5};

std::string FirmwareVersionRow(const firmware::FirmwareImage& fw, const std::string& versionWord) {
    const bool noRevision = fw.Area1Only() && (fw.FwRevision == 0 || fw.FwRevision >= 100);
    return Latin1ToUtf8(fw.FwModelName) + ", " + versionWord + ": " +
           VersionText(fw.FwVersion, noRevision ? std::nullopt : std::optional<long>(fw.FwRevision));
}

// Why the firmware file was refused, with its path, and what to do.
std::string FirmwareRefusal(WizardSurface& surface, const firmware::DecodeResult& read, const std::string& path) {
    using firmware::FileCause;
    switch (read.cause) {
        case FileCause::Folder: return FillPlaceholders(surface.LoadText(text::kFirmwareFolder), path);
        case FileCause::Unreadable:
            return FillPlaceholders(surface.LoadText(text::kFirmwareUnreadable), path, read.systemReason);
        case FileCause::TooShort:
            return FillPlaceholders(surface.LoadText(text::kFirmwareTooShort), path, std::to_string(read.fileSize));
        case FileCause::NotFirmware: return FillPlaceholders(surface.LoadText(text::kFirmwareNotFirmware), path);
        case FileCause::CheckValue: {
            const char* sum = firmware::ChecksumMessage(read.error);
            return FillPlaceholders(surface.LoadText(text::kFirmwareCheckValue), path) + (sum ? std::string("\r\n") + sum : "");
        }
        case FileCause::Missing:
        case FileCause::None: break;
    }
    return FillPlaceholders(surface.LoadText(text::kFirmwareMissing), path);
}

// A step of the Close handler that fails is skipped; the next one still runs.
template <typename Step>
void IgnoringErrors(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

Controller::Controller(View& view, Host& host)
    : view_(view), host_(host), link_(host.Port(), host.Pump()), comm_(link_, host.Clock(), link_) {
    host_.Attach(comm_);
    host_.WatchCable(this);
}

Controller::~Controller() { host_.WatchCable(nullptr); }

std::int16_t Controller::Stage() const {
    switch (state_) {
        case State::Testing:
        case State::Updating:
        case State::Finished:
            return 2;
        default:
            return 1;
    }
}

bool Controller::ProfileSafe() const { return session_ == nullptr || session_->Profile().ProfileSafe(); }

RunSummary Controller::Summary() {
    RunSummary summary;
    summary.versionMet = versionMet_;
    summary.recovered = recovered_;
    summary.kept = keptProfiles_;
    if (lastNext_ == NextResult::NoAnswer) summary.outcome = Outcome::NotAnswering;
    if (lastNext_ == NextResult::OtherModel) summary.outcome = Outcome::OtherModel;
    if (lastUpdate_) {
        switch (*lastUpdate_) {
            case update::UpdateResult::Updated: summary.outcome = Outcome::Updated; break;
            case update::UpdateResult::NoUpdateNeeded: summary.outcome = Outcome::NoUpdateNeeded; break;
            case update::UpdateResult::NotAnswering: summary.outcome = Outcome::NotAnswering; break;
            case update::UpdateResult::OtherModel: summary.outcome = Outcome::OtherModel; break;
            case update::UpdateResult::BelowRequired:
            case update::UpdateResult::Failed: summary.outcome = Outcome::Failed; break;
            case update::UpdateResult::Closed: summary.outcome = Outcome::Closed; break;
        }
    }
    if (lastRestore_) {
        switch (*lastRestore_) {
            case update::RestoreFileResult::Restored: summary.outcome = Outcome::Restored; break;
            case update::RestoreFileResult::NotAnswering: summary.outcome = Outcome::NotAnswering; break;
            case update::RestoreFileResult::OtherModel: summary.outcome = Outcome::OtherModel; break;
            default: summary.outcome = Outcome::Failed; break;
        }
    }
    // Closed in the middle: whatever the last step said, the run did not come to its end.
    if (state_ == State::Ended && summary.outcome == Outcome::NotTried && session_ && !session_->Identity().empty())
        summary.outcome = Outcome::Closed;
    if (session_ == nullptr) return summary;
    const profile::ProfileState& st = session_->Profile();
    if (st.DcMet()) summary.serial = st.DcSerial();
    summary.identity = session_->Identity();
    summary.versionNow = session_->DcVersion();
    summary.profile = st.Where();
    if (state_ != State::Ended) summary.kept = session_->FilesKept();
    return summary;
}

// --- start-up ---

bool Controller::Load() {
    state_ = State::StartingUp;
    view_.ShowButtons();
    view_.EnableBack(false);
    view_.EnableNext(true);
    if (!InitInfo()) return false;
    state_ = State::PageOne;
    // From here on, an end without an update is a failed one.
    exitStatus_ = kExitFailed;
    return true;
}

bool Controller::InitInfo() {
    config_ = ReadConfigRecord(host_.ConfigurationRecord(), host_.ProgramFolder());
    if (!config_) {
        FailStartUp(StartUpFailure::Configuration);
        EndProgram();
        return false;
    }
    // The desktop's language, when the catalogue has it; else the record's.
    if (const auto column = host_.DesktopLanguageColumn()) config_->LanguageIndex = *column;
    config_->FirmwareFilePath = host_.FirmwareFile(config_->FirmwareFileName);

    if (!OpenCatalogue()) return false;
    view_.SetLanguage(catalogue::LanguageTag(config_->LanguageIndex));
    view_.PutOnTop();
    Decorate();

    if (!GetCode()) {
        FailStartUp(StartUpFailure::FirmwareFile);
        CloseClick();
        return false;
    }
    comm_.SizeReceiveBuffersForMemory(firmware_->DcMemoryBlocks);
    session_ = std::make_unique<update::Session>(
        comm_, host_.Clock(), link_, *firmware_, *this, host_.Wall(), host_.Files(), host_.BackupFolder(),
        [this](std::uint32_t priorityClass) { return host_.SetPriority(priorityClass); });
    session_->StayAwakeWith(*this);
    // What a killed run left half-written goes before anything else is read.
    session_->Files().RemoveAbandoned(host_.BackupFolder());

    const auto port = TestInterface(
        *this, [this] { return host_.FindPort(); }, [this](const std::string& path) { return host_.OpenPort(path); },
        [this] { return host_.CableWithoutDriver(); });
    if (!port) {
        // Cancel in the cable search ends the program at once: nothing was done that needs a
        // Close, and no follow-up program is due.
        FailStartUp(StartUpFailure::Port);
        catalogue_.Close();
        EndProgram();
        return false;
    }

    LoadStepInstructions(1);
    SetCaptions();
    return true;
}

bool Controller::OpenCatalogue() {
    const auto catalogueFile = host_.CatalogueFile();
    const auto opened = catalogue_.Open(catalogueFile, config_->LanguageIndex);
    const auto message = catalogue::CatalogueStatusMessage(opened, catalogue_, catalogueFile);
    if (!message) return true;
    ShowMessage(message->title, message->text, message->icon, message->buttons);
    if (!message->endsProgram) return true;
    // Nothing to label the window with: end before it is ever shown.
    FailStartUp(StartUpFailure::Catalogue);
    catalogue_.Close();
    EndProgram();
    return false;
}

bool Controller::GetCode() {
    InsertTaskList(TaskIcon::Information, LoadText(text::kReadingFirmwareFile), "...", row::kReadingFirmware);
    firmware::DecodeResult read = firmware::LoadFirmwareFile(config_->FirmwareFilePath);
    const std::string path = config_->FirmwareFilePath.string();
    const std::string failed = LoadText(text::kFailed);
    if (read.error == firmware::FirmwareError::Missing) {
        ResetStage();
        // The program ends here; a window that vanishes without a word leaves the user guessing.
        ShowMessage(failed, FirmwareRefusal(*this, read, path), MessageIcon::Critical, MessageButtons::Ok);
        return false;
    }
    // Only a file that cannot be taken apart resets the stage; a wrong sum is told by its box alone.
    if (!read.ok() && firmware::ChecksumMessage(read.error) == nullptr) ResetStage();
    SetTaskStatus(LoadText(text::kDone));
    InsertTaskList(TaskIcon::Information, LoadText(text::kCheckingFirmware), "...", row::kCheckingFirmware);
    if (!read.ok()) {
        ShowMessage(failed, FirmwareRefusal(*this, read, path), MessageIcon::Critical, MessageButtons::Ok);
        return false;
    }
    SetTaskStatus(LoadText(text::kDone));
    InsertTaskList(TaskIcon::Warning, FirmwareVersionRow(read.image, LoadText(text::kVersionWord)), "", row::kFirmwareVersion);
    if (firmware::IsDemoFirmware(read.image))
        InsertTaskList(TaskIcon::Warning, LoadText(text::kDemoFirmware), "", row::kDemoFirmware);
    firmware_ = std::move(read.image);
    return true;
}

void Controller::FailStartUp(StartUpFailure why) {
    startUpFailure_ = why;
    exitStatus_ = kExitStartUpFailed;
}

void Controller::Decorate() {
    const std::string productTitle = LoadText(text::kProductTitle);
    view_.Decorate({kTaskBarTitle, kModelCaption + productTitle, productTitle + "\n" + kCopyrightLine});
}

void Controller::SetCaptions() {
    view_.SetCaptions({LoadText(text::kInstructions), LoadText(text::kBack), LoadText(text::kNext),
                       LoadText(text::kClose), LoadText(text::kTimeHeading), LoadText(text::kEventHeading),
                       LoadText(text::kStatusHeading)});
}

void Controller::LoadStepInstructions(int n) {
    view_.SetPageText(StepInstructions(n, *this));
}

// --- Next, Back ---

void Controller::NextClick() {
    // The identity read lets clicks run; a second Next meanwhile must not start a second test.
    if (state_ != State::PageOne) return;
    state_ = State::Testing;
    cableGivenUp_ = false;
    // The identity read can take 23 seconds when nobody answers: show that the DC is being called.
    view_.EnableNext(false);
    view_.SetBusy(true);
    const update::IdentityCheck identity =
        update::CheckDcIdentity(*session_, [this](int call, int of) {
            // The first call is answered at once by a DC that is ready: only a silent one is told.
            if (call > 1)
                ShowCalling(FillPlaceholders(LoadText(text::kCallingDc), std::to_string(call), std::to_string(of)));
        });
    if (state_ != State::Testing) return;  // closed meanwhile
    view_.SetBusy(false);
    if (identity == update::IdentityCheck::NoAnswer) {
        BackToPageOne(NextResult::NoAnswer, LoadText(comm_.CableGone() ? text::kCableNotBack : text::kDcSilentAtNext));
        return;
    }
    if (identity == update::IdentityCheck::OtherModel) {
        // Noise on the line is no other model: the vendor's file would not help.
        if (!firmware::IsIdentity(session_->Identity())) {
            BackToPageOne(NextResult::NoAnswer, LoadText(text::kIdentityGarbled));
            return;
        }
        std::string message = update::NotThisModel(*this, *firmware_) + "!";
        // A real watch meets the demo firmware here: say why it is refused, and where the
        // vendor's firmware file goes.
        if (firmware::IsDemoFirmware(*firmware_))
            message += "\r\n" + LoadText(text::kDemoFirmware) + "\r\n" +
                       FillPlaceholders(LoadText(text::kWhereFirmwareGoes), config_->FirmwareFileName.string(),
                                        host_.UserFirmwareFolder().string());
        BackToPageOne(NextResult::OtherModel, message);
        return;
    }
    lastNext_ = NextResult::Accepted;
    versionMet_ = session_->DcVersion();
    StartUpdate();
}

std::optional<update::DcCheck> Controller::CheckClick() {
    if (state_ != State::PageOne) return std::nullopt;
    state_ = State::Testing;
    update::DcCheck check = update::CheckDc(*session_);
    if (state_ != State::Testing) return std::nullopt;  // closed meanwhile
    state_ = State::PageOne;
    exitStatus_ = check.result == update::CheckResult::Checked ? kExitUpdated : kExitFailed;
    return check;
}

std::optional<update::RestoreFileResult> Controller::RestoreClick(const std::filesystem::path& file) {
    if (state_ != State::PageOne) return std::nullopt;
    state_ = State::Updating;
    cableGivenUp_ = false;
    session_->Profile().StartAttempt();
    view_.ShowTaskLog(true);
    view_.EnableNext(false);
    backDue_ = false;
    lastRestore_ = update::RestoreFile(*session_, file);
    if (state_ != State::Updating) return std::nullopt;  // closed meanwhile
    state_ = State::Finished;
    exitStatus_ = lastRestore_ == update::RestoreFileResult::Restored ? kExitUpdated : kExitFailed;
    view_.EnableBack(true);
    return lastRestore_;
}

std::optional<update::RestoreFileResult> Controller::ChooseAndRestoreClick() {
    if (state_ != State::PageOne) return std::nullopt;
    const std::filesystem::path history = profile::HistoryFolder(host_.BackupFolder());
    std::error_code ec;
    const std::filesystem::path start = std::filesystem::is_directory(history, ec) ? history : host_.BackupFolder();
    const auto file = view_.ChooseProfileFile(LoadText(text::kChooseProfileTitle), start, LoadText(text::kProfileFilesFilter));
    if (!file) return std::nullopt;
    return RestoreClick(*file);
}

void Controller::BackToPageOne(NextResult why, const std::string& message) {
    lastNext_ = why;
    state_ = State::PageOne;
    view_.EnableNext(true);
    ShowMessage(kMessageTitle, message, MessageIcon::Exclamation, MessageButtons::Ok);
}

void Controller::StartUpdate() {
    cableGivenUp_ = false;
    session_->Profile().StartAttempt();
    view_.ShowTaskLog(true);
    view_.EnableNext(false);
    // A failed attempt is over only when Back has cleared it.
    if (session_->AttemptFailed()) {
        state_ = State::Finished;
        return;
    }
    state_ = State::Updating;
    backDue_ = false;
    lastUpdate_ = update::UpdateFirmware(*session_);
    if (state_ != State::Updating) return;  // closed meanwhile
    state_ = State::Finished;
    const bool done = lastUpdate_ == update::UpdateResult::Updated || lastUpdate_ == update::UpdateResult::NoUpdateNeeded;
    exitStatus_ = done ? kExitUpdated : kExitFailed;
    if (backDue_) view_.EnableBack(true);
    // Closed at the question which profile goes back: the run ends here, nothing was sent.
    if (lastUpdate_ == update::UpdateResult::Closed) CloseClick();
}

void Controller::BackClick() {
    if (state_ == State::Finished) {
        state_ = State::PageOne;
        view_.EnableBack(false);
        GoBack();
    } else if (state_ != State::PageOne) {
        return;
    }
    LoadStepInstructions(Stage());
}

void Controller::GoBack() {
    view_.EnableNext(true);
    view_.EnableBack(false);
    view_.ShowTaskLog(false);
    view_.EmptyTaskLog();
    session_->NewAttempt();
    comm_.ClearFailure();
}

// --- Close ---

void Controller::CloseClick() {
    // The recovery's waits let clicks run; a second Close meanwhile changes nothing.
    if (state_ == State::Closing || state_ == State::Ended) return;
    const bool interrupting = state_ == State::Testing || state_ == State::Updating;
    state_ = State::Closing;
    profile::RecoveryOutcome recovery;
    IgnoringErrors([this, interrupting, &recovery] {
        if (ProfileSafe()) return;
        // The interrupted command's reply may still be on its way: it must not be taken for the
        // recovery's first answer.
        if (interrupting) comm_.SettleLine(kSettleBeforeRecovery);
        recovery = profile::ProfileRecovering(*session_);
    });
    // Kept on purpose, left by an earlier attempt, set aside, or left because the recovery met
    // another DC or broke off: the user must know where every one of them is.
    IgnoringErrors([this, &recovery] { TellTheEnd(recovery.ran, recovery.dcVersion); });
    IgnoringErrors([this] { view_.UnDoPutOnTop(); });
    comm_.Abort();
    IgnoringErrors([this] { comm_.Pause(kClosePause); });
    IgnoringErrors([this] { view_.Undecorate(); });
    IgnoringErrors([this] { comm_.ShrinkReceiveBuffers(); });
    IgnoringErrors([this] {
        if (config_ && !config_->CloseProgramName.empty())
            host_.StartProgram(host_.ProgramFolder() / config_->CloseProgramName);
    });
    IgnoringErrors([this] { catalogue_.Close(); });
    EndProgram();
}

namespace {

int KeptText(profile::KeptWhy why) {
    switch (why) {
        case profile::KeptWhy::WaitsForUpdate: return text::kKeptWaits;
        case profile::KeptWhy::ChosenFile: return text::kKeptChosen;
        case profile::KeptWhy::PresentProfile: return text::kKeptPresent;
        case profile::KeptWhy::SavedProfile: return text::kKeptSaved;
        case profile::KeptWhy::PreviousProfile: return text::kKeptPrevious;
        case profile::KeptWhy::OtherSerial:
        case profile::KeptWhy::OtherSize:
        case profile::KeptWhy::Unusable: return text::kKeptAside;
    }
    return text::kKeptAside;
}

}  // namespace

void Controller::TellTheEnd(bool recoveryRan, const std::optional<std::string>& dcVersion) {
    if (session_ == nullptr) return;
    keptProfiles_ = session_->FilesKept();
    std::string message;
    if (recoveryRan) {
        // Nothing else tells what the watch runs now and where its dive log is.
        recovered_ = session_->Profile().Where() == profile::ProfileWhere::WrittenBack;
        std::string verdict;
        if (!dcVersion) {
            verdict = LoadText(text::kVerdictNoAnswer);
        } else {
            const std::string version = Latin1ToUtf8(*dcVersion);
            if (!firmware_->Area1Only())
                verdict = FillPlaceholders(LoadText(text::kVerdictFirmware), version);
            else
                verdict = FillPlaceholders(LoadText(*dcVersion >= firmware_->FwVersion ? text::kVerdictNewFirmware
                                                                                       : text::kVerdictOldFirmware),
                                           version);
        }
        verdict += " " + LoadText(recovered_ ? text::kVerdictProfileBack : text::kVerdictProfileOnDisk);
        InsertTaskList(recovered_ ? TaskIcon::Information : TaskIcon::Warning, verdict, "", row::kRecoveryVerdict);
        message = verdict;
    }
    if (keptProfiles_.size() == 1 && keptProfiles_.front().why == profile::KeptWhy::WaitsForUpdate) {
        // The one file the next update of this DC writes back has its own words.
        message += (message.empty() ? "" : "\r\n\r\n") + FillPlaceholders(LoadText(text::kProfileKept), keptProfiles_.front().file.string());
    } else if (!keptProfiles_.empty()) {
        message += (message.empty() ? "" : "\r\n\r\n") + LoadText(text::kProfilesKept);
        for (const profile::KeptFile& kept : keptProfiles_)
            message += "\r\n" + FillPlaceholders(LoadText(KeptText(kept.why)), kept.file.string());
    }
    if (!message.empty())
        ShowMessage(LoadText(text::kRecoveryTitle), message, MessageIcon::Information, MessageButtons::Ok);
}

void Controller::EndProgram() {
    state_ = State::Ended;
    if (session_) session_->Profile().ProgramEnded();
    link_.Cut();
    // Closing the port removes its lock file; a stale one can keep the port from opening next time.
    host_.ClosePort();
    host_.EndProgram(exitStatus_);
}

// --- the cable dropped off ---

void Controller::ShowCableState(const std::string& text, bool change) {
    // On page 1 no row runs yet: the calls' caption says it. A change is also a line of its own
    // where the running row's status is not seen (a console's output into a pipe).
    const bool noRow = state_ == State::Testing || state_ == State::PageOne;
    if (noRow || change) ShowCalling(text);
    if (!noRow) SetTaskStatus(text);
}

void Controller::CableLost(const std::string& reason) {
    cableLostReason_ = reason;
    cableSecondsShown_ = -1;
    view_.Notice("the cable's device went away: " + reason);
}

bool Controller::CableAwaited(int secondsLeft) {
    if (cableGivenUp_) return false;
    // The pump runs the user's Close; a Close ends the wait with the program.
    host_.Pump().RunPending();
    if (state_ == State::Ended) return false;
    if (secondsLeft != cableSecondsShown_) {
        const bool first = cableSecondsShown_ < 0;
        cableSecondsShown_ = secondsLeft;
        ShowCableState(FillPlaceholders(LoadText(text::kCableGone), cableLostReason_, std::to_string(secondsLeft)), first);
    }
    return true;
}

void Controller::CableBack(const std::string& device) {
    view_.Notice("the cable is back on " + device);
    ShowCableState(FillPlaceholders(LoadText(text::kCableBack), device), true);
}

void Controller::CableNotBack() {
    if (!cableGivenUp_) view_.Notice("the cable did not come back");
    cableGivenUp_ = true;
}

void Controller::Hold(const std::string& why) {
    host_.Awake().Hold(why);
    view_.HoldOffSessionEnd(why);
}

void Controller::Release() {
    host_.Awake().Release();
    view_.HoldOffSessionEnd(std::nullopt);
}

// --- what the procedures report through ---

void Controller::InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status,
                                std::string_view id) {
    if (state_ != State::Ended) view_.InsertTaskList(icon, FormatTime(host_.Wall().Now()), event, status, id);
}

void Controller::SetTaskStatus(const std::string& status) {
    if (state_ != State::Ended) view_.SetTaskStatus(status);
}

void Controller::ResetStage() {
    if (state_ == State::Ended) return;
    host_.SetPriority(platform::kNormalPriorityClass);
    if (state_ == State::Updating)
        backDue_ = true;
    else
        view_.EnableBack(true);
}

MessageAnswer Controller::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) {
    // After the end nothing more is shown; whatever still runs comes to its end without a
    // decision being made for the user.
    if (state_ == State::Ended) return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Interrupted;
    const MessageAnswer answer = view_.ShowMessage(title, text, icon, buttons);
    // The user has read it and may have plugged the cable in again: worth another wait.
    cableGivenUp_ = false;
    return answer;
}

void Controller::ShowCalling(const std::string& text) {
    if (state_ != State::Ended) view_.ShowCalling(text);
}

MessageAnswer Controller::Ask(const QuestionBox& box) {
    if (state_ == State::Ended) return MessageAnswer::Interrupted;
    return view_.Ask(box);
}

std::string Controller::LoadText(int n) { return catalogue_.LoadText(text::Worded(n, view_.Words())); }

}  // namespace verno::wizard
