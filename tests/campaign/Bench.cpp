#include "tests/campaign/Bench.h"

#include <utility>

#include "dcsim/SimulatedLink.h"
#include "firmware/Identity.h"
#include "link/protocol/CommModule.h"
#include "profile/ProfileRecovering.h"
#include "common/TextNumbers.h"
#include "update/Session.h"
#include "update/UpdateFirmware.h"

namespace verno::campaign {

namespace {

// Far beyond the slowest run that ends (every block of the profile timing out four times).
constexpr link::Seconds kRunLimit{4.0 * 3600.0};
constexpr link::Seconds kLastFramesHeard{1.0};
constexpr link::Seconds kUserComesBack{300.0};
constexpr int kRecoveryAttempts = 3;

// How the console ends with the backup file on disk: the process exits inside the message box.
struct EndedKeepingBackup {};
struct RunTooLong {};

std::string T(int n) { return "T" + std::to_string(n); }

// Answers the recovery's boxes as the policy says and lets the user re-power the DC when the
// instructions tell them to attach it.
class CampaignSurface final : public RecordingSurface {
public:
    CampaignSurface(Policy policy, dcsim::SimulatedDc& dc) : policy_(policy), dc_(dc) {}

    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        (void)RecordingSurface::ShowMessage(title, text, icon, buttons);
        switch (buttons) {
            case MessageButtons::Ok:
                return MessageAnswer::Ok;
            case MessageButtons::YesNo:
                if (policy_ == Policy::Discard) {
                    discarded = true;
                    return MessageAnswer::No;
                }
                return MessageAnswer::Yes;
            case MessageButtons::OkCancel:
                break;
        }
        if (policy_ == Policy::Cancel) {
            discarded = true;
            return MessageAnswer::Cancel;
        }
        if (attempts_ == kRecoveryAttempts) throw EndedKeepingBackup{};
        ++attempts_;
        if (dc_.PoweredOff()) dc_.PowerOn();
        return MessageAnswer::Ok;
    }

    bool discarded = false;

private:
    Policy policy_;
    dcsim::SimulatedDc& dc_;
    int attempts_ = 0;
};

}  // namespace

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
        case Verdict::Refused: return "refused";
        case Verdict::NoUpdateNeeded: return "no update needed";
        case Verdict::NoVerdict: return "NO VERDICT";
    }
    return "?";
}

Verdict VerdictOfRows(const std::vector<RecordedRow>& rows) {
    if (rows.empty()) return Verdict::NoVerdict;
    const std::string& last = rows.back().event;
    if (last == T(text::kUpdateDone)) return Verdict::Updated;
    if (last == T(text::kUpdateFailedHint) && rows.size() >= 2 && rows[rows.size() - 2].event == T(text::kUpdateFailed))
        return Verdict::Failed;
    if (last == T(text::kDcNotAnswering) && rows.size() == 2) return Verdict::DcNotAnswering;
    if (last.starts_with(T(text::kNotModel) + " ")) return Verdict::Refused;
    if (last == T(text::kNoUpdateNeeded)) return Verdict::NoUpdateNeeded;
    return Verdict::NoVerdict;
}

Bench::Bench(firmware::FirmwareImage image, dcsim::DcConfig config, dcsim::DcFaults faults)
    : fw_(std::move(image)),
      dc_(
          [&] {
              dcsim::TakeVersionFrom(fw_, config);
              return config;
          }(),
          faults),
      memoryAtStart_(dc_.Memory()) {}

void Bench::ClearFaults() {
    // The DC still hears the program's last frames with the fault on; what it answers meets a
    // closed port.
    clock_.Advance(kLastFramesHeard);
    (void)dc_.TakeDue(clock_.Now());
    dc_.Faults() = {};
    if (dc_.PoweredOff()) dc_.PowerOn();
    clock_.Advance(kUserComesBack);
    (void)dc_.TakeDue(clock_.Now());
}

RunResult Bench::Run(Policy policy) {
    RunResult result;
    CampaignSurface ui(policy, dc_);
    FixedWallClock wall;
    dcsim::SimulatedLink link(dc_, clock_);
    link::CommModule comm(link, clock_, link);
    link.Attach(comm);
    comm.SizeReceiveBuffersForMemory(fw_.DcMemoryBlocks);
    update::Session session(comm, clock_, link, fw_, ui, wall, dir_.path(), [](std::uint32_t c) { return c; });

    const link::Seconds start = clock_.Now();
    const bool armedBefore = dc_.Armed();
    link.SetOnPump([&] {
        if (!result.rowWhenArmed && !armedBefore && dc_.Armed())
            result.rowWhenArmed = ui.rows.empty() ? std::string() : ui.rows.back().event;
        if (clock_.Now() - start > kRunLimit) throw RunTooLong{};
    });

    try {
        // Next: the interface test on page 1.
        if (comm.ReadIdentity() != link::LinkStatus::Ok) {
            result.verdict = Verdict::NoAnswerAtNext;
        } else if (!firmware::CheckIdentity(comm.IdentityText, fw_, session.DcVersion)) {
            result.verdict = Verdict::OtherModelAtNext;
        } else {
            session.profile.KeepProfile = true;
            session.profile.ProfileSafe = true;
            update::UpdateFirmware(session);
            result.updateRows = ui.rows;
            result.verdict = VerdictOfRows(ui.rows);
        }
        // Close.
        if (!session.profile.ProfileSafe) {
            result.recoveryOffered = true;
            if (policy == Policy::Keep) throw EndedKeepingBackup{};
            profile::ProfileRecovering(session);
        }
    } catch (const EndedKeepingBackup&) {
        result.keptAndEnded = true;
    } catch (const RunTooLong&) {
        result.hung = true;
    }
    if (result.updateRows.empty()) result.updateRows = ui.rows;
    result.allRows = ui.rows;
    result.userDiscarded = ui.discarded;
    result.virtualSeconds = (clock_.Now() - start).count();
    return result;
}

}  // namespace verno::campaign
