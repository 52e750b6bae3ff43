#include "tests/campaign/Bench.h"

#include <algorithm>
#include <utility>

#include "catalogue/Catalogue.h"
#include "common/TextNumbers.h"
#include "firmware/FirmwareFile.h"
#include "tests/support/RecordingView.h"
#include "wizard/Controller.h"

namespace verno::campaign {

namespace {

// Far beyond the slowest run that ends (every block of the profile timing out four times).
constexpr link::Seconds kRunLimit{4.0 * 3600.0};
constexpr link::Seconds kLastFramesHeard{1.0};
constexpr link::Seconds kUserComesBack{300.0};
constexpr int kRecoveryAttempts = 3;

struct RunTooLong {};

// Answers the recovery's boxes as the policy says and lets the user re-power the DC when the
// instructions tell them to attach it; records what the user chose.
struct User {
    Policy policy;
    dcsim::SimulatedDc& dc;
    RunResult& result;
    int attempts = 0;

    MessageAnswer Decide(const QuestionBox& box) {
        switch (box.question) {
            case Question::RecoverProfile:
                result.recoveryOffered = true;
                if (policy == Policy::Keep) return Kept(MessageAnswer::Keep);
                if (policy == Policy::Discard) return MessageAnswer::Discard;
                return MessageAnswer::WriteBack;
            case Question::ConfirmDiscard:
                result.userDiscarded = true;
                return MessageAnswer::Discard;
            default:
                return box.choices.front().answer;
        }
    }
    MessageAnswer Answer(const RecordedMessage& box) {
        if (box.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        if (policy == Policy::Cancel) return Kept(MessageAnswer::Cancel);
        if (attempts == kRecoveryAttempts) return Kept(MessageAnswer::Interrupted);
        ++attempts;
        if (dc.PoweredOff()) dc.PowerOn();
        return MessageAnswer::Ok;
    }
    MessageAnswer Kept(MessageAnswer answer) {
        result.keptAndEnded = true;
        return answer;
    }
};

}  // namespace

std::string Text(int n) {
    static catalogue::Catalogue texts;
    if (!texts.IsOpen()) texts.Open(VERNO_CATALOGUE_FILE, 1);
    return texts.LoadText(n);
}

const char* PolicyName(Policy policy) {
    switch (policy) {
        case Policy::Keep: return "keep";
        case Policy::Recover: return "recover";
        case Policy::Discard: return "discard";
        case Policy::Cancel: return "cancel";
    }
    return "?";
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::NoAnswerAtNext: return "no DC at Next";
        case Verdict::OtherModelAtNext: return "other model at Next";
        case Verdict::Updated: return "updated";
        case Verdict::Failed: return "failed";
        case Verdict::DcNotAnswering: return "DC not answering";
        case Verdict::CableGone: return "cable gone";
        case Verdict::Refused: return "refused";
        case Verdict::NoUpdateNeeded: return "no update needed";
        case Verdict::Closed: return "closed";
        case Verdict::NoVerdict: return "NO VERDICT";
    }
    return "?";
}

Verdict VerdictOfRows(const std::vector<RecordedRow>& rows) {
    if (rows.empty()) return Verdict::NoVerdict;
    const std::string& last = rows.back().event;
    if (last == Text(text::kUpdateDone)) return Verdict::Updated;
    if (last == Text(text::kUpdateFailedHint) && rows.size() >= 2 && rows[rows.size() - 2].event == Text(text::kUpdateFailed))
        return Verdict::Failed;
    if (last == Text(text::kDcNotAnswering) && rows.size() == 2) return Verdict::DcNotAnswering;
    if (last == Text(text::kCableNotBack) && rows.size() == 2) return Verdict::CableGone;
    if (last.starts_with(Text(text::kNotModel) + " ")) return Verdict::Refused;
    if (last == Text(text::kNoUpdateNeeded)) return Verdict::NoUpdateNeeded;
    return Verdict::NoVerdict;
}

Bench::Bench(std::vector<std::uint8_t> firmwareFile, dcsim::DcConfig config, dcsim::DcFaults faults)
    : fw_(firmware::DecodeFirmware(firmwareFile).image),
      host_(std::move(config), faults, firmwareFile),
      memoryAtStart_(host_.dc.Memory()) {}

void Bench::ClearFaults() {
    // The DC still hears the program's last frames with the fault on; what it answers meets a
    // closed port.
    host_.clock.Advance(kLastFramesHeard);
    (void)host_.dc.TakeDue(host_.clock.Now());
    host_.dc.Faults() = {};
    if (host_.dc.PoweredOff()) host_.dc.PowerOn();
    host_.clock.Advance(kUserComesBack);
    (void)host_.dc.TakeDue(host_.clock.Now());
}

RunResult Bench::Run(Policy policy, bool closeWhenArmed) {
    RunResult result;
    User user{policy, host_.dc, result};
    RecordingView view;
    view.answerer = [&user](const RecordedMessage& box) { return user.Answer(box); };
    view.questionAnswerer = [&user](const QuestionBox& box) { return user.Decide(box); };
    wizard::Controller wizard(view, host_);

    const link::Seconds start = host_.clock.Now();
    const bool armedBefore = host_.dc.Armed();
    host_.link.SetOnPump([&] {
        if (!result.rowWhenArmed && !armedBefore && host_.dc.Armed()) {
            result.rowWhenArmed = view.rows.empty() ? std::string() : view.rows.back().event;
            if (closeWhenArmed) {
                result.verdict = Verdict::Closed;
                wizard.CloseClick();
            }
        }
        if (host_.clock.Now() - start > kRunLimit) {
            result.hung = true;
            throw RunTooLong{};
        }
    });

    try {
        if (wizard.Load()) {
            const std::size_t startUpRows = view.rows.size();
            wizard.NextClick();
            if (result.verdict == Verdict::Closed) return Finish(result, view, start);
            switch (wizard.LastNext()) {
                case wizard::NextResult::NoAnswer: result.verdict = Verdict::NoAnswerAtNext; break;
                case wizard::NextResult::OtherModel: result.verdict = Verdict::OtherModelAtNext; break;
                default:
                    result.updateRows.assign(view.rows.begin() + static_cast<std::ptrdiff_t>(startUpRows), view.rows.end());
                    result.verdict = VerdictOfRows(result.updateRows);
                    break;
            }
            wizard.CloseClick();
        }
    } catch (const RunTooLong&) {
    }
    return Finish(result, view, start);
}

RunResult& Bench::Finish(RunResult& result, const RecordingView& view, link::Seconds start) {
    host_.link.SetOnPump({});
    result.allRows = view.rows;
    for (const RecordedMessage& box : view.messages) result.boxes.push_back(box.text);
    result.virtualSeconds = (host_.clock.Now() - start).count();
    return result;
}

}  // namespace verno::campaign
