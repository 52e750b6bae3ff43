#pragma once
// One DC on the bench and the program folder beside it, kept across program runs, and one run of
// the wizard as verno-update runs it: start-up, Next with the update, then Close with its
// recovery, the boxes answered as the user's policy says.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dcsim/SimulatedDc.h"
#include "firmware/FirmwareImage.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimulatedHost.h"

namespace verno::campaign {

// What the user answers when Close offers the recovery (the console's --recover modes).
enum class Policy {
    Keep,     // keeps the file for later; it stays for a later run
    Recover,  // write back, then OK (re-powering the DC first) up to three times; then keeps the file
    Discard,  // discard, confirmed: the backup file is deleted
    Cancel,   // write back, then Cancel at the first instructions: the backup file is kept
};

const char* PolicyName(Policy policy);

enum class Verdict {
    NoAnswerAtNext,   // the Next click found no DC: the wizard stays on page 1, no task log
    OtherModelAtNext,
    Updated,         // R7
    Failed,          // R8
    DcNotAnswering,  // R2 right after the start row
    CableGone,       // the cable dropped off and stayed away, right after the start row
    Refused,         // R3 / R4: another model or firmware below the required one
    NoUpdateNeeded,  // R5 as the last row
    Closed,          // the user closed the program while it ran
    NoVerdict,       // the log ends on any other row: a fault of the program
};

const char* VerdictName(Verdict verdict);

// The English catalogue text n, as the rows show it.
std::string Text(int n);

// The verdict that the update's rows end with.
Verdict VerdictOfRows(const std::vector<RecordedRow>& rows);

struct RunResult {
    Verdict verdict = Verdict::NoVerdict;
    std::vector<RecordedRow> updateRows;  // the update's task log when Next returned
    std::vector<RecordedRow> allRows;     // with the recovery's rows
    bool recoveryOffered = false;
    bool userDiscarded = false;  // the user discarded the backup file, and confirmed it
    bool keptAndEnded = false;   // the program ended with the backup file on disk
    std::vector<std::string> boxes;  // the texts of every message box shown
    bool hung = false;           // virtual time ran past the limit: the program would never end
    double virtualSeconds = 0.0;
    // The newest task-log row when the DC's faults took effect; nullopt when they never did.
    std::optional<std::string> rowWhenArmed;
};

class Bench {
public:
    Bench(std::vector<std::uint8_t> firmwareFile, dcsim::DcConfig config, dcsim::DcFaults faults);
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // One program run against the DC as it is now. closeWhenArmed: the user clicks Close (or
    // presses Ctrl-C) the moment the DC's faults arm, that is when the phase they aim at begins.
    RunResult Run(Policy policy, bool closeWhenArmed = false);
    // The user mends what went wrong (switches the DC back on, fixes the cable) and comes back
    // a few minutes later.
    void ClearFaults();

    const firmware::FirmwareImage& Firmware() const { return fw_; }
    const dcsim::SimulatedDc& Dc() const { return host_.dc; }
    dcsim::SimulatedDc& Dc() { return host_.dc; }
    const std::filesystem::path& Folder() const { return host_.folder.path(); }
    // The DC's memory as it was before the first run.
    const std::vector<std::uint8_t>& MemoryAtStart() const { return memoryAtStart_; }

private:
    RunResult& Finish(RunResult& result, const RecordingView& view, link::Seconds start);

    firmware::FirmwareImage fw_;
    SimulatedHost host_;
    std::vector<std::uint8_t> memoryAtStart_;
};

}  // namespace verno::campaign
