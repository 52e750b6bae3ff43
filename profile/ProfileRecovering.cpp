#include "profile/ProfileRecovering.h"

#include "common/RowIds.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/Identity.h"
#include "profile/Block0.h"
#include "profile/GetBackupProfile.h"
#include "profile/RestoreProfile.h"

namespace verno::profile {

namespace {

constexpr const char* kCrLf = "\r\n";

}  // namespace

std::string RecoveryInstructions(WizardSurface& surface) {
    int step = 1;
    auto numbered = [&](int n) { return std::to_string(step++) + ". " + surface.LoadText(n) + kCrLf; };
    std::string t;
    t += numbered(text::kRecoveryStep1);
    t += numbered(text::kRecoveryStep2);
    t += numbered(text::kRecoveryStep3);
    t += surface.LoadText(text::kRecoveryStep3a) + kCrLf;
    t += surface.LoadText(text::kRecoveryStep3b) + kCrLf;
    t += surface.LoadText(text::kRecoveryStep3c) + kCrLf + kCrLf;
    t += numbered(text::kRecoveryStep4);
    t += numbered(text::kRecoveryStep5);
    t += numbered(text::kRecoveryStep6);
    return t;
}

namespace {

// Write back now (the default), keep for later, or discard a backup. Nobody there to answer
// means keep. A file the user chose is never discarded: it is theirs.
MessageAnswer AskWhatToDo(ProfileSession& s, const std::string& title) {
    const ProfileState& st = s.Profile();
    std::vector<Choice> choices{{MessageAnswer::WriteBack, s.Text(text::kChoiceWriteBack)},
                                {MessageAnswer::Keep, s.Text(text::kChoiceKeep)}};
    if (!st.SourceIsChosenFile()) choices.push_back({MessageAnswer::Discard, s.Text(text::kChoiceDiscard)});
    const int question = st.SourceIsChosenFile() ? text::kRecoveryQuestionChosen : text::kRecoveryQuestion;
    const MessageAnswer answer = s.Ui().Ask({Question::RecoverProfile, title,
                                             FillPlaceholders(s.Text(question), st.Source().file.string()),
                                             MessageIcon::Exclamation, choices});
    if (answer == MessageAnswer::Discard && st.SourceIsChosenFile()) return MessageAnswer::Keep;
    return answer;
}

// A discard is asked once more, naming the file.
bool DiscardConfirmed(ProfileSession& s, const std::string& title) {
    const std::vector<Choice> choices{{MessageAnswer::Keep, s.Text(text::kChoiceKeep)},
                                      {MessageAnswer::Discard, s.Text(text::kChoiceDelete)}};
    return s.Ui().Ask({Question::ConfirmDiscard, title,
                       FillPlaceholders(s.Text(text::kConfirmDiscard), s.Profile().Source().file.string()),
                       MessageIcon::Exclamation, choices}) == MessageAnswer::Discard;
}

// The backup file goes only with a copy of it in the history, and only while it is still the
// file that was read; otherwise it stays, and the user is told why.
void Discard(ProfileSession& s) {
    if (s.RemoveSourceWithCopyInHistory(text::kDiscardNoCopy))
        s.Profile().Discarded();
    else
        s.Profile().KeptForLater();
}

// One attempt after the user said the DC is ready; false when the loop is to end.
bool TryOnce(ProfileSession& s, RecoveryOutcome& outcome) {
    ProfileState& st = s.Profile();
    s.SetPriority(kHighPriorityClass);
    const auto showCall = [&s](int call, int of) {
        if (call > 1)
            s.Ui().ShowCalling(FillPlaceholders(s.Text(text::kCallingDc), std::to_string(call), std::to_string(of)));
    };
    if (s.Comm().ReadIdentity(showCall) != link::LinkStatus::Ok) {
        s.SetPriority(kNormalPriorityClass);
        return true;
    }
    std::string identity = s.Comm().Identity();
    std::string version = s.DcVersion();
    if (firmware::CheckIdentity(identity, s.Fw(), version)) {
        s.DcIdentified(identity, version);
        outcome.dcVersion = version;
    }
    // Without block 0 the serial number is unknown: treat it as a DC that did not answer.
    const std::optional<Block0Bytes> block0 = ReadBlock0(s);
    if (!block0) {
        s.SetPriority(kNormalPriorityClass);
        return true;
    }
    const std::int32_t serial = Block0(*block0).Serial();
    st.MetDc(*block0, serial, BackupFileName(s.BackupFolder(), s.Fw().DcModelNumber, serial));
    if (serial != SerialOf(st.Image().SerialDigits)) {
        // Another DC: the file of the one that was updated stays where it is, and Close names it.
        st.KeptForLater();
        return false;
    }
    return !RestoreProfile(s);
}

}  // namespace

RecoveryOutcome ProfileRecovering(ProfileSession& s) {
    ProfileState& st = s.Profile();
    RecoveryOutcome outcome;
    // Close came in the middle of writing: the profile is still in its file.
    if (st.Where() == ProfileWhere::WritingBack) st.WriteBackFailed();
    WizardSurface& ui = s.Ui();
    const std::string title = s.Text(text::kRecoveryTitle);

    const MessageAnswer recover = AskWhatToDo(s, title);
    if (recover == MessageAnswer::Discard && DiscardConfirmed(s, title)) {
        Discard(s);
        return outcome;
    }
    if (recover != MessageAnswer::WriteBack) {
        st.KeptForLater();
        return outcome;
    }

    outcome.ran = true;
    bool again = true;
    while (again) {
        const MessageAnswer ready =
            ui.ShowMessage(title, RecoveryInstructions(ui), MessageIcon::Information, MessageButtons::OkCancel);
        if (ready != MessageAnswer::Ok) {
            // Cancel keeps the file for later.
            st.KeptForLater();
            if (ready == MessageAnswer::Interrupted) return outcome;
            break;
        }
        again = TryOnce(s, outcome);
    }

    s.SetDcClock();
    // The recovery is over whatever the DC answers; the end of the program follows.
    static_cast<void>(s.Comm().EndConnection());
    return outcome;
}

}  // namespace verno::profile
