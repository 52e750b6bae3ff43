#include "console/ConsoleApp.h"

#include <csignal>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace verno::console {

namespace {

volatile std::sig_atomic_t closeRequested = 0;

// The user's line; nullopt when none came: the input ended, or Ctrl-C (or a hang-up) arrived
// while the program waited for it.
std::optional<std::string> AskLine(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::string line;
    if (std::getline(std::cin, line)) return line;
    std::cerr << "\n";
    if (!std::cin.eof()) std::cin.clear();  // an interrupted read: a later question may still be asked
    return std::nullopt;
}

// Whether a Ctrl-C (or a hang-up, or a termination request) came, clearing it.
bool TakeCloseRequest() {
    const bool requested = closeRequested != 0;
    closeRequested = 0;
    return requested;
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
    // During the Close handler a Ctrl-C waits for the recovery's next question.
    if (closeRequested && controller_.CurrentState() != wizard::State::Closing) {
        closeRequested = 0;
        controller_.CloseClick();
    }
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
        if (!interactive_ || TakeCloseRequest()) return MessageAnswer::Cancel;
        const auto line = AskLine("Press Enter to search again, or type c and Enter to quit: ");
        TakeCloseRequest();
        return !line || (!line->empty() && ((*line)[0] == 'c' || (*line)[0] == 'C')) ? MessageAnswer::Cancel
                                                                                      : MessageAnswer::Ok;
    }
    // Ctrl-C at a question of the recovery answers that question only, and never with a deletion.
    if (TakeCloseRequest()) return MessageAnswer::Interrupted;
    // The recovery at Close: first the question, then the instructions before each attempt.
    if (buttons == MessageButtons::YesNo) {
        switch (recover_) {
            case RecoverMode::Yes: return MessageAnswer::Yes;
            case RecoverMode::No: return MessageAnswer::No;
            case RecoverMode::Keep: return MessageAnswer::Interrupted;
            case RecoverMode::Ask: break;
        }
        // No deletes the saved profile: only an explicit answer counts; a closed input or Ctrl-C keeps it.
        for (;;) {
            const auto line = AskLine(title + " [y/n] ");
            if (!line || TakeCloseRequest()) return MessageAnswer::Interrupted;
            if (*line == "y" || *line == "Y" || *line == "yes") return MessageAnswer::Yes;
            if (*line == "n" || *line == "N" || *line == "no") return MessageAnswer::No;
        }
    }
    if (recover_ == RecoverMode::Ask) {
        const auto line =
            AskLine("Press Enter when ready (OK), or type cancel and Enter to delete the saved profile (Cancel): ");
        if (!line || TakeCloseRequest()) return MessageAnswer::Interrupted;
        return *line == "cancel" ? MessageAnswer::Cancel : MessageAnswer::Ok;
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
    SystemHost::EndProgram(status);
}

void ConsoleApp::Run() {
    if (controller_.Load()) {
        controller_.NextClick();
        controller_.CloseClick();
    }
    // Only a host whose end returns gets here.
    SystemHost::EndProgram(controller_.ExitStatus());
}

}  // namespace verno::console
