#include "update/UploadCode.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "common/RowIds.h"

namespace verno::update {

namespace {

enum class BlocksResult { Sent, Failed, PortError };

BlocksResult SendBlocks(Session& s, const std::vector<firmware::CodeBlock>& blocks, std::uint16_t records,
                        std::uint8_t command, bool trapPortErrors) {
    const long n = static_cast<long>(std::min<std::size_t>(records, blocks.size()));
    std::array<std::uint8_t, link::kBlockBytes + 1> payload{};
    for (long i = 1; i <= n; ++i) {
        s.Ui().SetTaskStatus(Percent(i, n));
        const firmware::CodeBlock& block = blocks[static_cast<std::size_t>(i - 1)];
        std::copy(block.code.begin(), block.code.end(), payload.begin());
        payload[link::kBlockBytes] = block.blockByte;
        const link::LinkStatus status = s.Comm().WriteCodeBlock(block.address, command, payload);
        if (trapPortErrors && status == link::LinkStatus::PortError) return BlocksResult::PortError;
        if (status != link::LinkStatus::Ok) return BlocksResult::Failed;
    }
    return BlocksResult::Sent;
}

}  // namespace

bool UploadCode(Session& s) {
    link::CommModule& comm = s.Comm();
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(s.Fw().Area1Only() ? text::kUploadOnly : text::kUploadArea1), "",
                             row::kUpload);
    const BlocksResult sent = SendBlocks(s, s.Fw().Area1Blocks, s.Fw().Area1Records, link::wire::kWriteArea1Block, true);
    if (sent == BlocksResult::PortError) {
        // The area-1 upload stops the link on a port error and leaves the reporting to the
        // steps after it; a cable that dropped off and stayed away says so itself.
        comm.Abort();
        if (comm.CableGone()) {
            s.Fail(profile::Failure::CableGone);
            return false;
        }
        s.FailAttempt();  // no row of its own: the steps after it report
        s.Ui().ResetStage();
        return false;
    }
    if (sent == BlocksResult::Failed) {
        s.Fail(profile::Failure::DataNotAccepted);
        return false;
    }
    if (comm.SendWordCommand(link::wire::kCloseArea1, s.Fw().Area1Sum) != link::LinkStatus::Ok) {
        s.Fail(profile::Failure::DataNotAccepted);
        return false;
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    return true;
}

bool UploadCode2(Session& s) {
    link::CommModule& comm = s.Comm();
    s.Ui().InsertTaskList(TaskIcon::Information, s.Text(s.Fw().Area2Only() ? text::kUploadOnly : text::kUploadArea2), "",
                             row::kUpload2);
    if (SendBlocks(s, s.Fw().Area2Blocks, s.Fw().Area2Records, link::wire::kWriteArea2Block, false) != BlocksResult::Sent) {
        s.Fail(profile::Failure::DataNotAccepted);
        return false;
    }
    // Both closing commands go out; a refusal of the first shows only after the second.
    const bool wordTaken = comm.SendB8WordCommand(s.Fw().Area2Word) == link::LinkStatus::Ok;
    const bool closed = comm.SendWordCommand(link::wire::kCloseArea2, s.Fw().Area2Sum) == link::LinkStatus::Ok;
    if (!wordTaken || !closed) {
        s.Fail(profile::Failure::DataNotAccepted);
        return false;
    }
    s.Ui().SetTaskStatus(s.Text(text::kDone));
    return true;
}

}  // namespace verno::update
