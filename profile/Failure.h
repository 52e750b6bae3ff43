#pragma once
// Every way a step of an attempt fails, and the rows that say so: one table. A failed step calls
// ProfileSession::Fail, which renders the failure from here.

#include <string_view>

#include "common/TextNumbers.h"
#include "common/WizardSurface.h"

namespace verno::profile {

enum class Failure {
    DcNotAnswering,   // the DC did not answer its identity
    CableGone,        // the cable dropped off the computer and did not come back
    OtherModel,       // it names another model (the row given whole)
    BelowRequired,    // its firmware is older than the file can update (the row given whole)
    NewerRevision,    // it runs a newer revision than the file's
    WrongModelAfterRestart,
    BackupNotRead,
    ProfileUnreliable,  // %1 the block that never read the same twice
    BackupNotWritten,   // %1 the file, %2 the system's reason
    BackupUnusable,     // %1 the file
    CopyNotKept,        // %1 the file, %2 the system's reason: what the DC holds could not be kept
    DataNotAccepted,
    HeaderMismatch,
    RestoreMissing,      // %1 the path
    RestoreNotAFile,     // %1 the path
    RestoreUnreadable,   // %1 the file, %2 the system's reason
    RestoreUnusable,     // %1 the file
    RestoreOtherSerial,  // %1 the file, %2 the serial number in it, %3 the DC's
    RestoreOtherSize,    // %1 the file
};

struct FailureRows {
    int text;             // catalogue text of the row; 0 when the caller gives the row whole
    TaskIcon icon;
    bool marksStatus;     // the step's own row shows the failure word first
    bool endsConnection;  // the DC was heard: the connection is ended before the stage is reset
    std::string_view id;  // the row's stable name for machines
};

constexpr FailureRows RowsOf(Failure failure) {
    switch (failure) {
        case Failure::DcNotAnswering: return {text::kDcNotAnswering, TaskIcon::Error, true, false, "dc.not-answering"};
        case Failure::CableGone: return {text::kCableNotBack, TaskIcon::Error, true, false, "cable.gone"};
        case Failure::OtherModel: return {0, TaskIcon::Error, false, false, "dc.other-model"};
        case Failure::BelowRequired: return {0, TaskIcon::Error, false, true, "dc.below-required"};
        case Failure::NewerRevision: return {text::kNoUpdateNeeded, TaskIcon::Warning, false, true, "dc.newer-revision"};
        case Failure::WrongModelAfterRestart: return {text::kVerifyWrongModel, TaskIcon::Error, false, true, "verify.other-model"};
        case Failure::BackupNotRead: return {text::kBackupFailed, TaskIcon::Error, true, false, "profile.backup-not-read"};
        case Failure::ProfileUnreliable: return {text::kProfileUnreliable, TaskIcon::Error, true, false, "profile.read-unreliable"};
        case Failure::BackupNotWritten: return {text::kBackupNotWritten, TaskIcon::Error, true, false, "profile.backup-not-written"};
        case Failure::BackupUnusable: return {text::kBackupUnusable, TaskIcon::Error, true, false, "profile.backup-unusable"};
        case Failure::CopyNotKept: return {text::kCopyNotKept, TaskIcon::Error, true, false, "profile.copy-not-kept"};
        case Failure::DataNotAccepted: return {text::kDataNotAccepted, TaskIcon::Error, true, false, "transfer.not-accepted"};
        case Failure::HeaderMismatch: return {text::kHeaderMismatch, TaskIcon::Error, true, false, "profile.header-mismatch"};
        case Failure::RestoreMissing: return {text::kRestoreMissing, TaskIcon::Error, false, true, "restore.missing"};
        case Failure::RestoreNotAFile: return {text::kRestoreNotAFile, TaskIcon::Error, false, true, "restore.not-a-file"};
        case Failure::RestoreUnreadable: return {text::kRestoreUnreadable, TaskIcon::Error, false, true, "restore.unreadable"};
        case Failure::RestoreUnusable: return {text::kRestoreNotProfile, TaskIcon::Error, false, true, "restore.unusable"};
        case Failure::RestoreOtherSerial: return {text::kRestoreOtherSerial, TaskIcon::Error, false, true, "restore.other-serial"};
        case Failure::RestoreOtherSize: return {text::kRestoreOtherSize, TaskIcon::Error, false, true, "restore.other-size"};
    }
    return {0, TaskIcon::Error, true, false, "step.failed"};
}

}  // namespace verno::profile
