#include "update/CheckDc.h"

#include "update/DcIdentity.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/ProfileRange.h"

namespace verno::update {

DcCheck CheckDc(Session& s) {
    DcCheck check;
    link::CommModule& comm = s.Comm();
    const IdentityCheck identity = CheckDcIdentity(s);
    if (identity == IdentityCheck::NoAnswer) return check;
    check.identity = comm.Identity();
    if (identity == IdentityCheck::OtherModel) {
        check.result = CheckResult::OtherModel;
        static_cast<void>(comm.EndConnection());
        return check;
    }
    check.version = s.DcVersion();
    if (const link::RevisionReply revision = comm.ReadRevision(); revision.status == link::LinkStatus::Ok)
        check.revision = revision.revision;
    // The decision the update would make: it reads the revision only for some identity records.
    const std::uint8_t decisionRevision = ReadsRevision(s.Fw()) ? check.revision.value_or(0) : 0;
    check.decision = DecideVersion(s.Fw(), s.DcVersion(), decisionRevision);

    check.result = CheckResult::NoBlock0;
    if (const link::MemoryBlock read = comm.ReadMemory(profile::Block0::kUnit, profile::Block0::kUnit);
        read.status == link::LinkStatus::Ok) {
        check.result = CheckResult::Checked;
        const profile::Block0 block0(read.bytes);
        check.serial = block0.Serial();
        const auto [start, end] = profile::DecodeHeaderPointers(block0.Header(), s.Fw().DcMemoryBlocks);
        if (start != end) check.profileBlocks = profile::ApplyRangeRule(start, end, s.Fw().DcMemoryBlocks).blockCount;
        const auto backup = profile::BackupFileName(s.BackupFolder(), s.Fw().DcModelNumber, check.serial);
        if (s.Files().Fs().Look(backup).kind == platform::FileKind::File) check.waitingBackup = backup;
    }
    // A look only: how the DC takes the end of the connection changes nothing of it.
    static_cast<void>(comm.EndConnection());
    return check;
}

}  // namespace verno::update
