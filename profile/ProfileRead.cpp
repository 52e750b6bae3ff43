#include "profile/ProfileRead.h"

#include <algorithm>
#include <vector>

#include "common/RowIds.h"
#include "common/Sum8.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "profile/Block0.h"
#include "profile/Geometry.h"
#include "profile/ProfileRange.h"

namespace verno::profile {

ReadBlock ReadBlockAgreed(link::CommModule& comm, std::uint16_t unit) {
    ReadBlock result;
    std::vector<std::array<std::uint8_t, link::kBlockBytes>> reads;
    for (int attempt = 0; attempt < kReadsPerBlock; ++attempt) {
        const link::MemoryBlock read = comm.ReadMemory(unit, unit);
        if (read.status != link::LinkStatus::Ok) return result;
        if (std::find(reads.begin(), reads.end(), read.bytes) != reads.end()) {
            result.status = BlockRead::Ok;
            result.bytes = read.bytes;
            return result;
        }
        reads.push_back(read.bytes);
    }
    result.status = BlockRead::Unreliable;
    return result;
}

std::optional<std::array<std::uint8_t, link::kBlockBytes>> ReadBlockTwice(link::CommModule& comm, std::uint16_t unit) {
    const ReadBlock read = ReadBlockAgreed(comm, unit);
    if (read.status != BlockRead::Ok) return std::nullopt;
    return read.bytes;
}

ProfileRead ReadProfile(ProfileSession& s, const Block0Bytes& block0) {
    ProfileRead result;
    auto image = std::make_unique<ProfileImage>();
    const Block0 b(block0);
    const ProfileHeaderBytes header = b.Header();
    std::copy(header.begin(), header.end(), image->ProfileHeader.begin());
    image->ProfileHeader[kProfileHeaderSize] = Sum8(header);
    image->SerialDigits = SerialDigitsOf(b.Serial());

    const auto [start, end] = DecodeHeaderPointers(header, s.Fw().DcMemoryBlocks);
    if (start == end) {
        result.outcome = ProfileReadOutcome::Empty;
        return result;
    }
    const ProfileRange range = ApplyRangeRule(start, end, s.Fw().DcMemoryBlocks);
    if (!range.Fits()) {
        result.outcome = ProfileReadOutcome::Unfit;
        return result;
    }
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(text::kBackupRow), "", row::kBackup);
    image->ProfileBlockCount = static_cast<std::int16_t>(range.blockCount);
    for (std::int32_t j = 1; j <= range.blockCount; ++j) {
        s.Ui().SetTaskStatus(Percent(j, range.blockCount));
        const auto unit = static_cast<std::uint16_t>(range.firstReadAddress + UnitOfBlock(j - 1));
        const ReadBlock read = ReadBlockAgreed(s.Comm(), unit);
        if (read.status != BlockRead::Ok) {
            result.outcome = read.status == BlockRead::NotRead ? ProfileReadOutcome::NotRead : ProfileReadOutcome::Unreliable;
            result.failedBlock = j;
            return result;
        }
        ProfileRow& row = image->ProfileBlocks[static_cast<std::size_t>(j - 1)];
        row[0] = static_cast<std::int16_t>(WriteAddress(unit));
        std::copy(read.bytes.begin(), read.bytes.end(), row.begin() + 1);
        // Computed from the data: the reply carries no sum of its own.
        row[kSumColumn] = Sum8(read.bytes);
    }
    result.outcome = ProfileReadOutcome::Read;
    result.image = std::move(image);
    return result;
}

}  // namespace verno::profile
