#include "console/ConsoleApp.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

namespace verno::console {

namespace {

volatile std::sig_atomic_t closeRequested = 0;

std::string AskLine(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return {};
    return line;
}

const char* StartUpFailureText(wizard::StartUpFailure why) {
    switch (why) {
        case wizard::StartUpFailure::Configuration: return "the configuration record has fewer than two fields";
        case wizard::StartUpFailure::Catalogue: return "the language catalogue cannot be used";
        case wizard::StartUpFailure::FirmwareFile: return "the firmware file cannot be used";
        case wizard::StartUpFailure::Port: return "the interface cable's port was not found or could not be opened";
        case wizard::StartUpFailure::None: break;
    }
    return nullptr;
}

}  // namespace

void ConsoleApp::RequestClose() { closeRequested = 1; }

ConsoleApp::ConsoleApp(Options options)
    : SystemHost(options.port),
      options_(std::move(options)),
      interactive_(isatty(STDIN_FILENO) && isatty(STDERR_FILENO)),
      view_(stdout, stderr, isatty(STDOUT_FILENO) != 0,
            [this](const std::string& title, const std::string&, MessageIcon, MessageButtons buttons) {
                return Answer(title, buttons);
            }),
      controller_(view_, *this) {
    recover_ = options_.recover.value_or(interactive_ ? RecoverMode::Ask : RecoverMode::Keep);
}

void ConsoleApp::RunPending() {
    Serial().RunPending();
    if (closeRequested) controller_.CloseClick();
}

link::PortOpenResult ConsoleApp::OpenPort(const std::string& path) {
    const link::PortOpenResult result = SystemHost::OpenPort(path);
    if (result.opened) {
        view_.Flush();
        std::cerr << "verno-update: interface cable on " << path << "\n";
    }
    return result;
}

MessageAnswer ConsoleApp::Answer(const std::string& title, MessageButtons buttons) {
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (controller_.CurrentState() != wizard::State::Closing) {
        // The cable search: try again or quit.
        if (!interactive_) return MessageAnswer::Cancel;
        const std::string line = AskLine("Press Enter to search again, or type c and Enter to quit: ");
        return !std::cin || (!line.empty() && (line[0] == 'c' || line[0] == 'C')) ? MessageAnswer::Cancel
                                                                                   : MessageAnswer::Ok;
    }
    // The recovery at Close: first the question, then the instructions before each attempt.
    if (buttons == MessageButtons::YesNo) {
        switch (recover_) {
            case RecoverMode::Yes: return MessageAnswer::Yes;
            case RecoverMode::No: return MessageAnswer::No;
            case RecoverMode::Keep: return MessageAnswer::Interrupted;
            case RecoverMode::Ask: break;
        }
        // No deletes the saved profile: only an explicit answer counts, and a closed input keeps it.
        for (;;) {
            const std::string line = AskLine(title + " [y/n] ");
            if (!std::cin) return MessageAnswer::Interrupted;
            if (line == "y" || line == "Y" || line == "yes") return MessageAnswer::Yes;
            if (line == "n" || line == "N" || line == "no") return MessageAnswer::No;
        }
    }
    if (recover_ == RecoverMode::Ask) {
        const std::string line =
            AskLine("Press Enter when ready (OK), or type cancel and Enter to delete the saved profile (Cancel): ");
        if (!std::cin) return MessageAnswer::Interrupted;
        return line == "cancel" ? MessageAnswer::Cancel : MessageAnswer::Ok;
    }
    if (recoveryAttempts_ < options_.attempts) {
        ++recoveryAttempts_;
        return MessageAnswer::Ok;
    }
    // Cancel would delete the only copy of the profile: end with the backup file on disk.
    return MessageAnswer::Interrupted;
}

void ConsoleApp::EndProgram(int status) {
    view_.Flush();
    if (const char* why = StartUpFailureText(controller_.StartUpFailed())) std::cerr << "verno-update: " << why << "\n";
    if (!controller_.ProfileSafe()) {
        std::cerr << "verno-update: the dive computer's profile is kept in "
                  << controller_.UpdateSession()->profile.BackupFilePath.string()
                  << ". Run verno-update again with the same dive computer on the cable to write it back.\n";
    }
    SystemHost::EndProgram(status);
}

void ConsoleApp::Run() {
    if (controller_.Load()) {
        controller_.NextClick();
        if (controller_.LastNext() == wizard::NextResult::NoAnswer) {
            view_.Flush();
            std::cerr << "verno-update: the dive computer does not answer. Put it in PC mode on the cable and try again.\n";
        }
        controller_.CloseClick();
    }
    // Only a host whose end returns gets here.
    SystemHost::EndProgram(controller_.ExitStatus());
}

}  // namespace verno::console
