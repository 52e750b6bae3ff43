#include "profile/ProfileRecovering.h"

#include <system_error>

#include "profile/GetBackupProfile.h"
#include "profile/RestoreProfile.h"
#include "common/Text.h"
#include "common/TextNumbers.h"

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

void ProfileRecovering(ProfileSession& s) {
    ProfileState& st = s.profile;
    WizardSurface& ui = s.surface;
    const std::string title = s.Text(text::kRecoveryTitle);

    const MessageAnswer recover =
        ui.ShowMessage(title, s.Text(text::kRecoveryQuestion), MessageIcon::Exclamation, MessageButtons::YesNo);
    // An interrupted question leaves the backup file for the next run with this DC.
    if (recover == MessageAnswer::Interrupted) return;
    if (recover != MessageAnswer::Yes) {
        DeleteBackupFile(st);
        return;
    }

    while (!st.ProfileSafe) {
        const MessageAnswer ready =
            ui.ShowMessage(title, RecoveryInstructions(ui), MessageIcon::Information, MessageButtons::OkCancel);
        if (ready == MessageAnswer::Interrupted) return;
        if (ready != MessageAnswer::Ok) {
            st.ProfileSafe = true;
            DeleteBackupFile(st);
            break;
        }
        s.setPriority(kHighPriorityClass);
        st.ProfileSafe = false;
        if (s.comm.ReadIdentity() != link::LinkStatus::Ok) {
            s.setPriority(kNormalPriorityClass);
            continue;
        }
        const BackupLookup lookup = GetBackupProfile(s);
        if (lookup == BackupLookup::Unanswered) {
            // Without block 0 the serial number is unknown: naming a file from it would end the
            // recovery as if this DC had no backup. Treat it as a DC that did not answer.
            s.setPriority(kNormalPriorityClass);
            continue;
        }
        if (IsUnusable(lookup)) {
            // The file may still hold the only copy of the dive log: keep it and say where it is.
            st.ProfileSafe = true;
            ui.InsertTaskList(TaskIcon::Error, FillPlaceholders(s.Text(text::kBackupUnusable), st.BackupFilePath.string()),
                              "");
            break;
        }
        if (lookup == BackupLookup::NotFound) {
            st.ProfileSafe = true;
            DeleteBackupFile(st);
            break;
        }
        RestoreProfile(s);
    }

    s.SetDcClock();
    s.comm.EndConnection();
}

}  // namespace verno::profile
