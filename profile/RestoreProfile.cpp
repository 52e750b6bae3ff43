#include "profile/RestoreProfile.h"

#include <algorithm>
#include <system_error>

#include "common/Sum8.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/Block0.h"

namespace verno::profile {

namespace {

void SendPieces(ProfileSession& s, const ProfileRow& row) {
    auto& data = s.comm.DataBuf;
    auto w = static_cast<std::uint16_t>(row[0]);
    // Column 129, the row sum, falls on piece slot 0 and is never sent.
    for (std::size_t g = 1; g <= kSumColumn; ++g) {
        data[(g - 1) % 16] = static_cast<std::uint8_t>(row[g]);
        if ((g - 1) % 16 == 15) {
            data[16] = Sum8(std::span(data).first(16));
            s.comm.WriteProfileBlock(w);
            ++w;
        }
    }
}

}  // namespace

bool RestoreProfile(ProfileSession& s, AfterRestore after) {
    ProfileState& st = s.profile;
    link::CommModule& comm = s.comm;
    WizardSurface& ui = s.surface;
    st.where = ProfileWhere::WritingBack;

    ui.InsertTaskList(TaskIcon::Information, s.Text(text::kRestoreRow), "");
    comm.TransferFailed = false;

    const int count = std::clamp<int>(st.ProfileBlockCount, 0, static_cast<int>(kProfileRows));
    int failedAt = 0;  // 1-based position of the block the DC did not take
    for (int j = 1; j <= count; ++j) {
        ui.SetTaskStatus(Percent(j, count));
        const ProfileRow& row = st.ProfileBlocks[static_cast<std::size_t>(j - 1)];
        for (std::size_t k = 1; k <= kSumColumn; ++k) comm.DataBuf[k - 1] = static_cast<std::uint8_t>(row[k]);
        comm.WriteCodeBlock(static_cast<std::uint16_t>(row[0]), link::wire::kWriteArea1Block);
        if (comm.TransferFailed) {
            failedAt = j;
            break;
        }
    }

    if (failedAt > 0) {
        const std::int16_t address = st.ProfileBlocks[static_cast<std::size_t>(failedAt - 1)][0];
        if (address == kFallbackAddressA || address == kFallbackAddressB) {
            comm.TransferFailed = false;
            // A failed piece does not stop the pass: every remaining piece is still sent.
            for (int k = failedAt; k <= count; ++k) {
                ui.SetTaskStatus(Percent(k, count));
                SendPieces(s, st.ProfileBlocks[static_cast<std::size_t>(k - 1)]);
            }
        }
    }

    if (comm.TransferFailed) {
        st.where = ProfileWhere::Saved;
        s.FailStep(text::kTransferFailed);
    } else {
        std::copy(st.ProfileHeader.begin(), st.ProfileHeader.end(), comm.DataBuf.begin());
        comm.WriteProfileBlock(Block0::kHeaderUnit);
        comm.Pause(link::Seconds(2.0));

        const link::LinkStatus read = comm.ReadMemory(Block0::kUnit, Block0::kUnit);
        comm.Pause(link::Seconds(1.0));
        // A read that did not come in leaves an older block 0 in the buffer: it proves nothing.
        const ProfileHeaderBytes readBack = Block0::InRxBuf(comm).Header();
        const bool same =
            read == link::LinkStatus::Ok && std::equal(readBack.begin(), readBack.end(), st.ProfileHeader.begin());

        if (!same) {
            st.where = ProfileWhere::Saved;
            s.FailStep(text::kHeaderMismatch);
        } else {
            ui.SetTaskStatus(s.Text(text::kDone));
            st.where = ProfileWhere::WrittenBack;
            std::error_code ignored;
            if (after == AfterRestore::DeleteBackup) std::filesystem::remove(st.BackupFilePath, ignored);
        }
    }

    s.SetDcClock();
    return st.where == ProfileWhere::WrittenBack;
}

}  // namespace verno::profile
