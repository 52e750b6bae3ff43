#include "update/CheckDc.h"

#include <system_error>

#include "firmware/Identity.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/ProfileRange.h"

namespace verno::update {

DcCheck CheckDc(Session& s) {
    DcCheck check;
    link::CommModule& comm = s.comm;
    if (comm.ReadIdentity() != link::LinkStatus::Ok) return check;
    check.identity = comm.IdentityText;
    if (!firmware::CheckIdentity(comm.IdentityText, s.fw, s.DcVersion)) {
        check.result = CheckResult::OtherModel;
        comm.EndConnection();
        return check;
    }
    check.version = s.DcVersion;
    if (const link::RevisionReply revision = comm.ReadRevision(); revision.status == link::LinkStatus::Ok)
        check.revision = revision.revision;
    // The decision the update would make: it reads the revision only for some identity records.
    const std::uint8_t decisionRevision = ReadsRevision(s.fw) ? check.revision.value_or(0) : 0;
    check.decision = DecideVersion(s.fw, s.DcVersion, decisionRevision);

    check.result = CheckResult::NoBlock0;
    if (comm.ReadMemory(profile::Block0::kUnit, profile::Block0::kUnit) == link::LinkStatus::Ok) {
        check.result = CheckResult::Checked;
        const profile::Block0 block0 = profile::Block0::InRxBuf(comm);
        check.serial = block0.Serial();
        const auto [start, end] = profile::DecodeHeaderPointers(block0.Header(), s.fw.DcMemoryBlocks);
        if (start != end) check.profileBlocks = profile::ApplyRangeRule(start, end, s.fw.DcMemoryBlocks).blockCount;
        const auto backup = profile::BackupFileName(s.backupFolder, s.fw.DcModelNumber, check.serial);
        std::error_code ec;
        if (std::filesystem::is_regular_file(backup, ec)) check.waitingBackup = backup;
    }
    comm.EndConnection();
    return check;
}

}  // namespace verno::update
