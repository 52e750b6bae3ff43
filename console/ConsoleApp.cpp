#include "console/ConsoleApp.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <iostream>
#include <optional>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "common/Version.h"
#include "console/CloseRequest.h"
#include "console/Terminal.h"
#include "link/port/FindInterfacePort.h"
#include "profile/BackupFile.h"
#include "profile/History.h"
#include "profile/ProfileFiles.h"

namespace verno::console {

namespace {

// The user's line; nullopt when none came: the input ended, or Ctrl-C (or a hang-up) arrived
// while the program waited for it.
std::optional<std::string> AskLine(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::string line;
    if (std::getline(std::cin, line)) return line;
    std::cerr << "\n";
    // An interrupted read: a later question may still be asked. On Windows Ctrl-C ends the read as
    // an end of input, and its request comes a moment later from a thread of the system's own.
    if (!std::cin.eof() || CloseRequestWithin(std::chrono::milliseconds(100))) std::cin.clear();
    return std::nullopt;
}

constexpr std::array<int, 4> kStartUpTexts{text::kStartUpConfiguration, text::kStartUpCatalogue,
                                           text::kStartUpFirmwareFile, text::kStartUpPort};

}  // namespace

const char* ConsoleApp::StartUpFailureText(wizard::StartUpFailure why) const {
    switch (why) {
        case wizard::StartUpFailure::Configuration: return startUpTexts_[0].c_str();
        case wizard::StartUpFailure::Catalogue: return startUpTexts_[1].c_str();
        case wizard::StartUpFailure::FirmwareFile: return startUpTexts_[2].c_str();
        case wizard::StartUpFailure::Port: return startUpTexts_[3].c_str();
        case wizard::StartUpFailure::None: break;
    }
    return nullptr;
}

ConsoleApp::ConsoleApp(Options options)
    : SystemHost(options.ports.empty() ? std::nullopt : std::optional<std::string>(options.ports.front()),
                 options.firmware),
      options_(std::move(options)),
      texts_(*this),
      interactive_(IsTerminal(STDIN_FILENO) && IsTerminal(STDERR_FILENO)),
      view_(stdout, stderr, options_.json ? ConsoleView::Format::Json : ConsoleView::Format::Text,
            DrawsInPlace(STDOUT_FILENO),
            [this](const std::string& title, const std::string&, MessageIcon, MessageButtons buttons) {
                return Answer(title, buttons);
            }),
      controller_(view_, *this) {
    if (!options_.ports.empty()) port_ = options_.ports.front();
    recover_ = options_.recover.value_or(interactive_ && !options_.json ? RecoverMode::Ask : RecoverMode::Keep);
    view_.OnQuestion([this](const QuestionBox& box) { return AnswerQuestion(box); });
    view_.SetWords(interactive_ && !options_.json ? text::Wording::Keyboard : text::Wording::Unattended);
    // Read while the catalogue is open: the end may come after it has closed.
    view_.OnLanguage([this] {
        for (std::size_t i = 0; i < kStartUpTexts.size(); ++i) startUpTexts_[i] = controller_.LoadText(kStartUpTexts[i]);
        view_.SetFinalStatuses({controller_.LoadText(text::kDone), controller_.LoadText(text::kFailed)});
    });
    view_.SetJsonContext([this] {
        const auto serial = DcSerial();
        return nlohmann::ordered_json{{"port", port_},
                                      {"serial", serial ? nlohmann::ordered_json(profile::SerialText(*serial)) : nullptr}};
    });
    if (options_.logFolder) {
        log_ = std::make_unique<SupportLog>(*options_.logFolder);
        if (!log_->Ok()) std::cerr << "verno-update: " << log_->Problem() << "\n";
        view_.OnRowDone([this](const TaskRow& row) { log_->Row(row); });
        view_.OnNotice([this](const std::string& what) { log_->Note(what); });
        if (options_.trace) Serial().SetTap([this](bool fromPc, std::span<const std::uint8_t> bytes) { log_->Wire(fromPc, bytes); });
        log_->Note(std::string("verno-update ") + ProgramVersion());
    }
}

std::optional<int> ConsoleApp::DcSerial() {
    if (check_ && check_->result == update::CheckResult::Checked) return check_->serial;
    return controller_.Summary().serial;
}

void ConsoleApp::RunPending() {
    SystemHost::Serial().RunPending();
    // During the Close handler a Ctrl-C waits for the recovery's next question.
    if (controller_.CurrentState() != wizard::State::Closing && TakeCloseRequest()) controller_.CloseClick();
}

link::PortOpenResult ConsoleApp::OpenPort(const std::string& path) {
    const link::PortOpenResult result = SystemHost::OpenPort(path);
    if (result.opened) {
        port_ = path;
        if (const auto identity = link::IdentityOf(path)) cable_ = identity->serialNumber;
        view_.Flush();
        if (!options_.json) std::cerr << "verno-update: " << FillPlaceholders(controller_.LoadText(text::kCableOn), path) << "\n";
        if (log_) log_->Note("port " + path);
    }
    return result;
}

MessageAnswer ConsoleApp::Answer(const std::string& title, MessageButtons buttons) {
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (controller_.CurrentState() != wizard::State::Closing) {
        // The cable search: try again or quit.
        if (!interactive_ || TakeCloseRequest()) return MessageAnswer::Cancel;
        const auto line = AskLine(controller_.LoadText(text::kAskSearchAgain));
        TakeCloseRequest();
        const bool quit = !line || *line == "q" || *line == "Q" || *line == "quit";
        return quit ? MessageAnswer::Cancel : MessageAnswer::Ok;
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
        const auto line = AskLine(controller_.LoadText(text::kAskReady));
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

MessageAnswer ConsoleApp::AskRecovery() {
    switch (recover_) {
        case RecoverMode::Yes: return MessageAnswer::WriteBack;
        case RecoverMode::No: return MessageAnswer::Discard;
        case RecoverMode::Keep: return MessageAnswer::Keep;
        case RecoverMode::Ask: break;
    }
    for (;;) {
        const auto line = AskLine(controller_.LoadText(text::kAskRecover));
        if (!line || TakeCloseRequest()) return MessageAnswer::Interrupted;
        if (line->empty() || *line == "w" || *line == "W") return MessageAnswer::WriteBack;
        if (*line == "k" || *line == "K") return MessageAnswer::Keep;
        if (*line == "d" || *line == "D") return MessageAnswer::Discard;
    }
}

// Nobody at a terminal means the documented default: keep, the present profile, do not write.
MessageAnswer ConsoleApp::AnswerQuestion(const QuestionBox& box) {
    // Ctrl-C answers the question it meets, with what deletes and overwrites nothing.
    if (TakeCloseRequest()) return MessageAnswer::Interrupted;
    const bool ask = interactive_ && !options_.json;
    switch (box.question) {
        case Question::RecoverProfile: return AskRecovery();
        case Question::ConfirmDiscard: {
            if (recover_ == RecoverMode::No) return MessageAnswer::Discard;
            const auto line = ask ? AskLine(controller_.LoadText(text::kAskDiscard)) : std::nullopt;
            return line && *line == "delete" && !TakeCloseRequest() ? MessageAnswer::Discard : MessageAnswer::Keep;
        }
        case Question::WhichProfile: {
            if (options_.restoreFrom)
                return *options_.restoreFrom == RestoreFrom::Saved ? MessageAnswer::Saved : MessageAnswer::Present;
            if (!ask) return MessageAnswer::Saved;
            // Ctrl-C here ends the run before any code goes out, the saved profile kept.
            const auto line = AskLine(controller_.LoadText(text::kAskWhich));
            if (!line || TakeCloseRequest()) return MessageAnswer::Interrupted;
            return *line == "p" || *line == "P" ? MessageAnswer::Present : MessageAnswer::Saved;
        }
        case Question::ConfirmRestore: {
            if (options_.yes) return MessageAnswer::Yes;
            const auto line = ask ? AskLine(controller_.LoadText(text::kAskRestore)) : std::nullopt;
            return line && (*line == "y" || *line == "Y") && !TakeCloseRequest() ? MessageAnswer::Yes : MessageAnswer::No;
        }
    }
    return MessageAnswer::Interrupted;
}

void ConsoleApp::PrintHistory() {
    profile::ProfileFiles files(Files());
    const auto entries = profile::ListHistory(files, BackupFolder(), options_.serial);
    std::vector<std::vector<std::string>> rows = {{texts_(text::kSummarySerial), texts_(text::kHistoryDate),
                                                   texts_(text::kHistoryBlocks), texts_(text::kHistoryVersion),
                                                   texts_(text::kHistoryFile)}};
    for (const profile::HistoryEntry& e : entries) {
        const std::string version = Latin1ToUtf8(e.firmware.version);
        const std::string date = e.readAt ? IsoTime(*e.readAt) : "";
        if (options_.json) {
            nlohmann::ordered_json line = {{"type", "history"}, {"serial", e.serial}};
            line["date"] = e.readAt ? nlohmann::ordered_json(date) : nlohmann::ordered_json(nullptr);
            line["blocks"] = e.blocks >= 0 ? nlohmann::ordered_json(e.blocks) : nlohmann::ordered_json(nullptr);
            line["version"] = version;
            line["revision"] = e.firmware.revision ? nlohmann::ordered_json(*e.firmware.revision) : nlohmann::ordered_json(nullptr);
            line["file"] = e.file.string();
            std::cout << JsonLine(line) << "\n";
        } else {
            rows.push_back({e.serial, date.empty() ? "-" : date, e.blocks >= 0 ? std::to_string(e.blocks) : "-",
                            version.empty() ? "-" : version, e.file.string()});
        }
    }
    if (!options_.json && entries.empty()) {
        std::cout << FillPlaceholders(texts_(text::kHistoryEmpty), profile::HistoryFolder(BackupFolder()).string()) << "\n";
    } else if (!options_.json) {
        std::cout << AlignedColumns(rows);
    }
    std::cout << std::flush;
}

void ConsoleApp::PruneHistory() {
    profile::ProfileFiles files(Files());
    const int keep = options_.keep.value_or(kDefaultHistoryKept);
    const auto removed = profile::PruneHistory(files, BackupFolder(), keep, options_.serial);
    for (const auto& file : removed) {
        if (options_.json)
            std::cout << JsonLine({{"type", "pruned"}, {"file", file.string()}}) << "\n";
    }
    if (!options_.json)
        std::cout << FillPlaceholders(texts_(text::kHistoryPruned), std::to_string(removed.size()), std::to_string(keep)) << "\n";
    std::cout << std::flush;
}

CableReport ConsoleApp::Report(double seconds) {
    wizard::Controller& controller = controller_;
    const wizard::RunSummary summary = controller.Summary();
    CableReport r;
    r.port = port_;
    r.cable = cable_;
    r.serial = DcSerial();
    r.seconds = seconds;
    for (const profile::KeptFile& kept : summary.kept) {
        r.profileKeptIn += (r.profileKeptIn.empty() ? "" : ", ") + kept.file.string();
        r.kept.push_back({kept.file.string(), profile::KeptWhyName(kept.why)});
    }
    r.versionBefore = Latin1ToUtf8(summary.versionMet);
    if (!r.versionBefore.empty()) r.versionAfter = Latin1ToUtf8(summary.versionNow);
    r.outcome = "failed";
    if (const char* why = StartUpFailureText(controller.StartUpFailed())) {
        r.reason = why;
    } else if (check_) {
        switch (check_->result) {
            case update::CheckResult::Checked:
                r.outcome = "checked";
                r.versionBefore = r.versionAfter = Latin1ToUtf8(check_->version);
                r.wouldUpdate = check_->decision == update::VersionDecision::Update;
                r.profileBlocks = check_->profileBlocks;
                if (check_->revision) r.revision = *check_->revision;
                if (check_->waitingBackup) r.profileKeptIn = check_->waitingBackup->string();
                break;
            case update::CheckResult::NotAnswering: r.reason = notAnswering_; break;
            case update::CheckResult::OtherModel: r.reason = otherModel_; break;
            case update::CheckResult::NoBlock0: r.reason = controller.LoadText(text::kBackupFailed); break;
        }
    } else {
        switch (summary.outcome) {
            case wizard::Outcome::Updated: r.outcome = "updated"; break;
            case wizard::Outcome::NoUpdateNeeded: r.outcome = "no update needed"; break;
            case wizard::Outcome::Restored: r.outcome = "restored"; break;
            case wizard::Outcome::NotAnswering: r.reason = notAnswering_; break;
            case wizard::Outcome::OtherModel: r.reason = controller.LastNext() == wizard::NextResult::OtherModel ? otherModel_ : view_.LastError(); break;
            case wizard::Outcome::Failed: r.reason = view_.LastError(); break;
            case wizard::Outcome::Closed:
            case wizard::Outcome::NotTried: r.reason = texts_(text::kStoppedEarly); break;
        }
    }
    if (r.versionAfter.empty() && !r.versionBefore.empty()) r.versionAfter = r.versionBefore;
    if (!r.Succeeded() && r.reason.empty()) r.reason = texts_(text::kSeeRowsAbove);
    return r;
}

void ConsoleApp::PrintCheck(const CableReport& r) const {
    std::cout << FillPlaceholders(texts_(text::kCheckHeading), r.port) << "\n";
    if (r.outcome != "checked") {
        std::cout << "  " << r.reason << "\n";
        return;
    }
    std::string version = r.versionBefore.empty() ? "-" : r.versionBefore;
    if (r.revision) version = FillPlaceholders(texts_(text::kCheckVersionRevision), version, std::to_string(*r.revision));
    // The empty first column indents the block.
    std::cout << AlignedColumns({
        {"", texts_(text::kCheckIdentity), Latin1ToUtf8(check_->identity)},
        {"", texts_(text::kCheckVersion), version},
        {"", texts_(text::kCheckSerial), r.SerialText()},
        {"", texts_(text::kCheckProfile), FillPlaceholders(texts_(text::kCheckProfileBlocks), std::to_string(*r.profileBlocks))},
        {"", texts_(text::kCheckFirmware), texts_(*r.wouldUpdate ? text::kCheckWouldUpdate : text::kCheckNotForIt)},
    });
    if (!r.profileKeptIn.empty()) std::cout << "  " << FillPlaceholders(texts_(text::kCheckProfileWaits), r.profileKeptIn) << "\n";
}

void ConsoleApp::Prepare() {
    notAnswering_ = controller_.LoadText(text::kDcNotAnswering);
    if (const firmware::FirmwareImage* fw = controller_.Firmware()) otherModel_ = update::NotThisModel(controller_, *fw) + "!";
    if (!log_) return;
    if (const firmware::FirmwareImage* fw = controller_.Firmware()) {
        char sums[96];
        std::snprintf(sums, sizeof sums, "area 1 sum %u, area 2 sum %u, %u + %u blocks", fw->Area1Sum, fw->Area2Sum,
                      fw->Area1Records, fw->Area2Records);
        log_->Note("firmware file " + controller_.FirmwareFilePath().string() + ": " + Latin1ToUtf8(fw->FwModelName) + " " +
                   VersionText(fw->FwVersion, fw->FwRevision) + ", " + sums);
    }
}

void ConsoleApp::EndProgram(int status) {
    view_.Flush();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const CableReport report = Report(seconds);
    if (options_.json) {
        std::cout << JsonLine(report.ToJson()) << std::endl;
    } else if (options_.check) {
        PrintCheck(report);
    } else if (const char* why = StartUpFailureText(controller_.StartUpFailed())) {
        std::cerr << "verno-update: " << why << "\n";
    }
    if (CloseSignal() != 0) status = 128 + CloseSignal();
    if (log_) {
        if (const std::string identity = controller_.Summary().identity; !identity.empty())
            log_->Note("identity " + Latin1ToUtf8(identity));
        log_->Note("result " + JsonLine(report.ToJson()));
        log_->Finish(report.serial ? std::optional<std::string>(report.SerialText()) : std::nullopt);
    }
    SystemHost::EndProgram(status);
}

void ConsoleApp::Run() {
    if (options_.history) {
        PrintHistory();
        SystemHost::EndProgram(wizard::kExitUpdated);
    }
    if (options_.pruneHistory) {
        PruneHistory();
        SystemHost::EndProgram(wizard::kExitUpdated);
    }
    if (controller_.Load()) {
        Prepare();
        if (options_.check) {
            check_ = controller_.CheckClick();
        } else if (options_.restore) {
            controller_.RestoreClick(*options_.restore);
        } else {
            controller_.NextClick();
        }
        controller_.CloseClick();
    }
    // Only a host whose end returns gets here.
    SystemHost::EndProgram(controller_.ExitStatus());
}

}  // namespace verno::console
