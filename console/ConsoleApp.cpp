#include "console/ConsoleApp.h"

#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

#include "catalogue/CatalogueMessage.h"
#include "common/ProgramFolder.h"
#include "common/Resources.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/GetCode.h"
#include "firmware/Identity.h"
#include "link/port/TestInterface.h"
#include "platform/ProcessPriority.h"
#include "profile/ProfileRecovering.h"
#include "update/UpdateFirmware.h"

namespace verno::console {

namespace {

volatile std::sig_atomic_t closeRequested = 0;

constexpr link::Seconds kClosePause{1.0};

std::string AskLine(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return {};
    return line;
}

}  // namespace

void ConsoleApp::RequestClose() { closeRequested = 1; }

ConsoleApp::ConsoleApp(Options options)
    : options_(std::move(options)),
      interactive_(isatty(STDIN_FILENO) && isatty(STDERR_FILENO)),
      surface_(stdout, stderr, isatty(STDOUT_FILENO) != 0, wallClock_,
               [this](int n) { return catalogue_.LoadText(n); },
               [this](const std::string& title, const std::string&, MessageIcon icon, MessageButtons buttons) {
                   return Answer(title, icon, buttons);
               }),
      comm_(port_, clock_, *this) {
    recover_ = options_.recover.value_or(interactive_ ? RecoverMode::Ask : RecoverMode::Keep);
    port_.Attach(comm_);
    surface_.SetResetStageAction(
        [] { platform::SetProcessPriority(0, 0, platform::kNormalPriorityClass); });
}

void ConsoleApp::RunPending() {
    port_.RunPending();
    if (closeRequested && !closing_) Close(status_);
}

MessageAnswer ConsoleApp::Answer(const std::string& title, MessageIcon, MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            if (recover_ == RecoverMode::Ask) {
                // No deletes the saved profile: only an explicit answer counts, and a closed input
                // keeps the file.
                for (;;) {
                    const std::string line = AskLine(title + " [y/n] ");
                    if (!std::cin) KeepBackupAndEnd(status_);
                    if (line == "y" || line == "Y" || line == "yes") return MessageAnswer::Yes;
                    if (line == "n" || line == "N" || line == "no") return MessageAnswer::No;
                }
            }
            return recover_ == RecoverMode::Yes ? MessageAnswer::Yes : MessageAnswer::No;
        case MessageButtons::OkCancel:
            break;
    }
    if (phase_ != Phase::Recovery) {
        // The interface dialog: try again or quit.
        if (!interactive_) return MessageAnswer::Cancel;
        const std::string line = AskLine("Press Enter to search again, or type c and Enter to quit: ");
        return !std::cin || (!line.empty() && (line[0] == 'c' || line[0] == 'C')) ? MessageAnswer::Cancel
                                                                                   : MessageAnswer::Ok;
    }
    if (recover_ == RecoverMode::Ask) {
        const std::string line =
            AskLine("Press Enter when ready (OK), or type cancel and Enter to delete the saved profile (Cancel): ");
        if (!std::cin) KeepBackupAndEnd(status_);
        return line == "cancel" ? MessageAnswer::Cancel : MessageAnswer::Ok;
    }
    if (recoveryAttempts_ < options_.attempts) {
        ++recoveryAttempts_;
        return MessageAnswer::Ok;
    }
    // Cancel would delete the only copy of the profile: end with the backup file on disk.
    KeepBackupAndEnd(status_);
}

void ConsoleApp::FailStartUp(const std::string& reason) {
    surface_.Flush();
    if (!reason.empty()) std::cerr << "verno-update: " << reason << "\n";
}

bool ConsoleApp::StartUp() {
    config_ = ReadConfigRecord(resources::kConfigurationRecord, ProgramFolder());
    if (!config_) {
        FailStartUp("the configuration record has fewer than two fields");
        return false;
    }
    const auto catalogueFile = ProgramFolder() / resources::kCatalogueFileName;
    const auto status = catalogue_.Open(catalogueFile, config_->LanguageIndex);
    if (const auto message = catalogue::CatalogueStatusMessage(status, catalogue_, catalogueFile)) {
        if (message->endsProgram) {
            FailStartUp(message->text);
            return false;
        }
        surface_.ShowMessage(message->title, message->text, message->icon, message->buttons);
    }

    firmware_ = firmware::GetCode(config_->FirmwareFilePath, surface_);
    if (!firmware_) {
        comm_.TransferFailed = true;
        FailStartUp("the firmware file " + config_->FirmwareFilePath.string() + " cannot be used");
        return false;
    }
    comm_.ResizeReceiveBuffers(136u * firmware_->DcMemoryBlocks + 1);

    const auto opened = link::TestInterface(surface_, port_, options_.port);
    if (!opened) {
        FailStartUp("the interface cable's port was not found or could not be opened");
        return false;
    }
    surface_.Flush();
    std::cerr << "verno-update: interface cable on " << *opened << "\n";

    session_ = std::make_unique<update::Session>(comm_, clock_, *this, *firmware_, surface_, wallClock_,
                                                 ProgramFolder());
    return true;
}

int ConsoleApp::NextAndUpdate() {
    // Next: the interface test.
    if (comm_.ReadIdentity() != link::LinkStatus::Ok) {
        FailStartUp("the dive computer does not answer. Put it in PC mode on the cable and try again.");
        return kExitFailed;
    }
    if (!firmware::CheckIdentity(comm_.IdentityText, *firmware_, session_->DcVersion)) {
        surface_.ShowMessage("Firmware Update",
                             catalogue_.LoadText(text::kNotModel) + " " + Latin1ToUtf8(firmware_->FwModelName) + "!",
                             MessageIcon::Exclamation, MessageButtons::Ok);
        return kExitFailed;
    }

    phase_ = Phase::Update;
    session_->profile.KeepProfile = true;
    session_->profile.ProfileSafe = true;
    if (!comm_.TransferFailed) update::UpdateFirmware(*session_);
    surface_.Flush();
    return comm_.TransferFailed || !session_->profile.ProfileSafe ? kExitFailed : kExitUpdated;
}

void ConsoleApp::KeepBackupAndEnd(int status) {
    surface_.Flush();
    std::cerr << "verno-update: the dive computer's profile is kept in " << session_->profile.BackupFilePath.string()
              << ". Run verno-update again with the same dive computer on the cable to write it back.\n";
    std::fflush(stdout);
    // Closing the port removes its lock file; a stale one can keep the port from opening next time.
    port_.Close();
    std::_Exit(status);
}

void ConsoleApp::Close(int status) {
    closing_ = true;
    if (session_ && !session_->profile.ProfileSafe) {
        if (recover_ == RecoverMode::Keep) KeepBackupAndEnd(status);
        phase_ = Phase::Recovery;
        profile::ProfileRecovering(*session_);
    }
    comm_.CommError = true;
    comm_.LinkAborted = true;
    comm_.Pause(kClosePause);
    comm_.ShrinkReceiveBuffers();
    if (config_ && !config_->CloseProgramName.empty())
        QProcess::startDetached(QString::fromStdString((ProgramFolder() / config_->CloseProgramName).string()), {});
    catalogue_.Close();
    surface_.Flush();
    std::fflush(stdout);
    // Closing the port removes its lock file; a stale one can keep the port from opening next time.
    port_.Close();
    std::_Exit(status);
}

int ConsoleApp::Run() {
    if (!StartUp()) {
        catalogue_.Close();
        return kExitStartupFailed;
    }
    status_ = NextAndUpdate();
    Close(status_);
}

}  // namespace verno::console
