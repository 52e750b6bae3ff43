#pragma once
// verno-update on one cable: the wizard on a terminal, for service benches and automation. It
// runs the same controller as the window: start-up, one Next (or --check), and Close. Its
// options answer the boxes that a user would click in the window: --recover the recovery's, a
// terminal the cable search's. At its end it reports how the cable's run ended.

#include <array>
#include <chrono>
#include <memory>
#include <optional>

#include "console/CableReport.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleView.h"
#include "console/Options.h"
#include "console/SupportLog.h"
#include "host/SystemHost.h"
#include "update/CheckDc.h"
#include "wizard/Controller.h"

namespace verno::console {

// History files of each DC that --prune-history keeps unless told otherwise.
inline constexpr int kDefaultHistoryKept = 10;

class ConsoleApp final : public host::SystemHost, private link::Pump {
public:
    explicit ConsoleApp(Options options);
    ConsoleApp(const ConsoleApp&) = delete;
    ConsoleApp& operator=(const ConsoleApp&) = delete;

    // The whole run; ends the process with the controller's exit status. A Close request
    // (CloseRequest.h) is acted on inside the pump, as a click of Close; the program then ends
    // with 128 + the signal's number, as a shell expects of an interrupted command.
    [[noreturn]] void Run();

    // --- the host, where it differs from the window's ---
    link::Pump& Pump() override { return *this; }
    link::PortOpenResult OpenPort(const std::string& path) override;
    [[noreturn]] void EndProgram(int status) override;

private:
    void RunPending() override;
    MessageAnswer Answer(const std::string& title, MessageButtons buttons);
    MessageAnswer AnswerQuestion(const QuestionBox& box);
    MessageAnswer AskRecovery();
    void PrintHistory();
    void PruneHistory();
    std::optional<int> DcSerial();
    CableReport Report(double seconds);
    void PrintCheck(const CableReport& report) const;
    void Prepare();
    const char* StartUpFailureText(wizard::StartUpFailure why) const;

    Options options_;
    ConsoleTexts texts_;  // its own connection: the controller's closes before the end is printed
    RecoverMode recover_;
    bool interactive_;
    int recoveryAttempts_ = 0;
    std::string port_;  // as named, then as opened
    std::string cable_;  // the converter's serial number: which physical cable, whatever its port
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::unique_ptr<SupportLog> log_;
    ConsoleView view_;
    wizard::Controller controller_;
    std::optional<update::DcCheck> check_;
    // Why a DC was not updated, read while the catalogue is open: it closes before the report.
    std::string notAnswering_;
    std::string otherModel_;
    // Why the start-up failed, in the catalogue's language once it is open.
    std::array<std::string, 4> startUpTexts_{"the configuration record has fewer than two fields",
                                             "the language catalogue cannot be used", "the firmware file cannot be used",
                                             "the interface cable's port was not found or could not be opened"};
};

}  // namespace verno::console
