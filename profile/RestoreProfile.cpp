#include "profile/RestoreProfile.h"

#include <algorithm>

#include "common/Sum8.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupProfile.h"
#include "profile/Block0.h"
#include "profile/Geometry.h"
#include "profile/ProfileRead.h"
#include "common/RowIds.h"

namespace verno::profile {

namespace {

// The block's bytes and their saved sum, as a 0xB5 write sends them.
std::array<std::uint8_t, link::kBlockBytes + 1> Payload(const ProfileRow& row) {
    std::array<std::uint8_t, link::kBlockBytes + 1> payload{};
    for (std::size_t k = 1; k <= kSumColumn; ++k) payload[k - 1] = static_cast<std::uint8_t>(row[k]);
    return payload;
}

// The block as eight 16-byte pieces at consecutive write addresses, each with its own sum; the
// saved row sum is not sent. A failed piece does not stop the others. True when all were taken.
bool SendPieces(ProfileSession& s, const ProfileRow& row) {
    bool taken = true;
    const auto first = static_cast<std::uint16_t>(row[0]);
    for (std::size_t p = 0; p < kPiecesPerBlock; ++p) {
        std::array<std::uint8_t, kPieceBytes + 1> piece{};
        for (std::size_t i = 0; i < kPieceBytes; ++i) piece[i] = static_cast<std::uint8_t>(row[1 + p * kPieceBytes + i]);
        piece[kPieceBytes] = Sum8(std::span(piece).first(kPieceBytes));
        taken = s.Comm().WriteProfileBlock(static_cast<std::uint16_t>(first + p), piece) == link::LinkStatus::Ok && taken;
    }
    return taken;
}

bool IsFallbackAddress(std::int16_t address) { return address == kFallbackAddressA || address == kFallbackAddressB; }

// Writes the blocks; a refused write of one of the two special blocks sends the rest in pieces.
// True when the DC took everything.
bool WriteBlocks(ProfileSession& s, int count) {
    const ProfileTable& rows = s.Profile().Image().ProfileBlocks;
    int failedAt = 0;  // 1-based position of the block the DC did not take
    for (int j = 1; j <= count && failedAt == 0; ++j) {
        s.Ui().SetTaskStatus(Percent(j, count));
        const ProfileRow& row = rows[static_cast<std::size_t>(j - 1)];
        if (s.Comm().WriteCodeBlock(static_cast<std::uint16_t>(row[0]), link::wire::kWriteArea1Block, Payload(row)) !=
            link::LinkStatus::Ok)
            failedAt = j;
    }
    if (failedAt == 0) return true;
    const std::int16_t address = rows[static_cast<std::size_t>(failedAt - 1)][0];
    if (!IsFallbackAddress(address)) return false;
    s.Comm().ClearFailure();
    bool taken = true;
    for (int k = failedAt; k <= count; ++k) {
        s.Ui().SetTaskStatus(Percent(k, count));
        taken = SendPieces(s, rows[static_cast<std::size_t>(k - 1)]) && taken;
    }
    return taken;
}

// One block written again, in pieces where the DC refuses the whole of a special block.
bool WriteBlockAgain(ProfileSession& s, const ProfileRow& row) {
    if (s.Comm().WriteCodeBlock(static_cast<std::uint16_t>(row[0]), link::wire::kWriteArea1Block, Payload(row)) ==
        link::LinkStatus::Ok)
        return true;
    if (!IsFallbackAddress(row[0])) return false;
    s.Comm().ClearFailure();
    return SendPieces(s, row);
}

enum class Landed { Yes, Differs, NotRead };

// Whether the block reads back as it was written. A read can be garbled on the line, so a block
// is called different only when two reads agree on it.
Landed BlockLanded(ProfileSession& s, const ProfileRow& row) {
    std::array<std::uint8_t, link::kBlockBytes> written{};
    for (std::size_t k = 0; k < written.size(); ++k) written[k] = static_cast<std::uint8_t>(row[k + 1]);
    const auto unit = static_cast<std::uint16_t>(row[0] + kProfileAreaStart);
    const link::MemoryBlock first = s.Comm().ReadMemory(unit, unit);
    if (first.status != link::LinkStatus::Ok) return Landed::NotRead;
    if (first.bytes == written) return Landed::Yes;
    const ReadBlock agreed = ReadBlockAgreed(s.Comm(), unit);
    if (agreed.status == BlockRead::NotRead) return Landed::NotRead;
    return agreed.status == BlockRead::Ok && agreed.bytes == written ? Landed::Yes : Landed::Differs;
}

// An acknowledged write says the DC took a frame, not that the right bytes landed: a slow DC
// has taken a resent header as payload. Every block is read back; one that differs is written
// once more. True when all read back as written.
bool BlocksLanded(ProfileSession& s, int count) {
    const ProfileTable& rows = s.Profile().Image().ProfileBlocks;
    for (int j = 1; j <= count; ++j) {
        s.Ui().SetTaskStatus(FillPlaceholders(s.Text(text::kCheckingBlocks), Percent(j, count)));
        const ProfileRow& row = rows[static_cast<std::size_t>(j - 1)];
        Landed landed = BlockLanded(s, row);
        if (landed == Landed::Differs && WriteBlockAgain(s, row)) landed = BlockLanded(s, row);
        if (landed != Landed::Yes) return false;
    }
    return true;
}

// Writes the header last and reads it back: only an equal header read back counts.
bool HeaderWrittenBack(ProfileSession& s) {
    const ProfileImage& image = s.Profile().Image();
    // The fixed waits say what they wait for: three seconds would otherwise look frozen at 100%.
    s.Ui().SetTaskStatus(s.Text(text::kWritingHeader));
    // Whether the DC took it shows in the read-back, which alone decides.
    static_cast<void>(s.Comm().WriteProfileBlock(Block0::kHeaderUnit, image.ProfileHeader));
    s.Comm().Pause(link::Seconds(2.0));
    s.Ui().SetTaskStatus(s.Text(text::kCheckingHeader));
    const link::MemoryBlock read = s.Comm().ReadMemory(Block0::kUnit, Block0::kUnit);
    s.Comm().Pause(link::Seconds(1.0));
    const ProfileHeaderBytes readBack = Block0(read.bytes).Header();
    return read.status == link::LinkStatus::Ok && std::equal(readBack.begin(), readBack.end(), image.ProfileHeader.begin());
}

}  // namespace

bool RestoreProfile(ProfileSession& s) {
    ProfileState& st = s.Profile();
    const KeptWhy held = st.SourceIsChosenFile() ? KeptWhy::PreviousProfile : KeptWhy::PresentProfile;
    if (CopyWhatTheDcHolds(s, held) != Guard::Ok) return false;

    const WritingDc writing(s);
    st.WritingBack();
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kRestoreRow), "", row::kRestore);
    s.Comm().ClearFailure();
    const int count = std::clamp<int>(st.Image().ProfileBlockCount, 0, static_cast<int>(kProfileRows));
    if (!WriteBlocks(s, count) || !BlocksLanded(s, count)) {
        st.WriteBackFailed();
        s.Fail(Failure::DataNotAccepted);
    } else if (!HeaderWrittenBack(s)) {
        st.WriteBackFailed();
        s.Fail(Failure::HeaderMismatch);
    } else {
        s.Ui().SetTaskStatus(s.Text(text::kDone));
        // The backup file has done its work; a file the user chose stays as it is.
        st.WrittenBack(!st.SourceIsChosenFile() && s.RemoveSourceWithCopyInHistory(text::kBackupKeptNoCopy));
    }
    s.SetDcClock();
    return st.Where() == ProfileWhere::WrittenBack;
}

}  // namespace verno::profile
