#include "profile/ProfileRecovering.h"

#include <system_error>

#include "profile/BackupProfile.h"
#include "profile/GetBackupProfile.h"
#include "profile/RestoreProfile.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "common/RowIds.h"

namespace verno::profile {

namespace {

constexpr const char* kCrLf = "\r\n";

void DeleteBackupFile(const ProfileState& st) {
    std::error_code ignored;
    std::filesystem::remove(st.BackupFilePath, ignored);
}

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

// Write back now (the default), keep for later, or discard. Nobody there to answer means keep.
MessageAnswer AskWhatToDo(ProfileSession& s, const std::string& title) {
    const std::vector<Choice> choices{{MessageAnswer::WriteBack, s.Text(text::kChoiceWriteBack)},
                                      {MessageAnswer::Keep, s.Text(text::kChoiceKeep)},
                                      {MessageAnswer::Discard, s.Text(text::kChoiceDiscard)}};
    return s.surface.Ask({Question::RecoverProfile, title,
                          FillPlaceholders(s.Text(text::kRecoveryQuestion), s.profile.BackupFilePath.string()),
                          MessageIcon::Exclamation, choices});
}

// A discard is asked once more, naming the file: it may hold the only copy of the dive log.
bool DiscardConfirmed(ProfileSession& s, const std::string& title) {
    const std::vector<Choice> choices{{MessageAnswer::Keep, s.Text(text::kChoiceKeep)},
                                      {MessageAnswer::Discard, s.Text(text::kChoiceDelete)}};
    return s.surface.Ask({Question::ConfirmDiscard, title,
                          FillPlaceholders(s.Text(text::kConfirmDiscard), s.profile.BackupFilePath.string()),
                          MessageIcon::Exclamation, choices}) == MessageAnswer::Discard;
}

// One attempt after the user said the DC is ready; false when the loop is to end.
bool TryOnce(ProfileSession& s) {
    ProfileState& st = s.profile;
    s.setPriority(kHighPriorityClass);
    const auto showCall = [&s](int call, int of) {
        if (call > 1)
            s.surface.ShowCalling(FillPlaceholders(s.Text(text::kCallingDc), std::to_string(call), std::to_string(of)));
    };
    if (s.comm.ReadIdentity(showCall) != link::LinkStatus::Ok) {
        s.setPriority(kNormalPriorityClass);
        return true;
    }
    const BackupLookup lookup = GetBackupProfile(s);
    switch (lookup) {
        case BackupLookup::Unanswered:
            // Without block 0 the serial number is unknown: naming a file from it would end the
            // recovery as if this DC had no backup. Treat it as a DC that did not answer.
            s.setPriority(kNormalPriorityClass);
            return true;
        case BackupLookup::Damaged:
        case BackupLookup::Unreadable:
            // The file may still hold the only copy of the dive log: keep it and say where it is.
            st.where = ProfileWhere::KeptOnDisk;
            s.surface.InsertTaskList(
                TaskIcon::Error, FillPlaceholders(s.Text(text::kBackupUnusable), st.BackupFilePath.string()), "",
                row::kBackupUnusable);
            return false;
        case BackupLookup::NotFound:
            // Another DC, or nothing of this one on disk: the file of the updated DC stays where
            // it is, and Close names it.
            st.where = ProfileWhere::KeptOnDisk;
            return false;
        case BackupLookup::Found:
        case BackupLookup::FoundChanged:
            if (TakeFoundProfile(s, lookup) != BackupOutcome::Reused) {
                st.where = ProfileWhere::KeptOnDisk;
                return false;
            }
            return !RestoreProfile(s);
    }
    return false;
}

}  // namespace

void ProfileRecovering(ProfileSession& s) {
    ProfileState& st = s.profile;
    WizardSurface& ui = s.surface;
    const std::string title = s.Text(text::kRecoveryTitle);

    const MessageAnswer recover = AskWhatToDo(s, title);
    if (recover == MessageAnswer::Discard && DiscardConfirmed(s, title)) {
        DeleteBackupFile(st);
        st.where = ProfileWhere::Discarded;
        return;
    }
    if (recover != MessageAnswer::WriteBack) {
        st.where = ProfileWhere::KeptOnDisk;
        return;
    }

    bool again = true;
    while (again) {
        const MessageAnswer ready =
            ui.ShowMessage(title, RecoveryInstructions(ui), MessageIcon::Information, MessageButtons::OkCancel);
        if (ready != MessageAnswer::Ok) {
            // Cancel keeps the file: the next update of this DC writes it back.
            st.where = ProfileWhere::KeptOnDisk;
            if (ready == MessageAnswer::Interrupted) return;
            break;
        }
        again = TryOnce(s);
    }

    s.SetDcClock();
    // The recovery is over whatever the DC answers; the end of the program follows.
    static_cast<void>(s.comm.EndConnection());
}

}  // namespace verno::profile
