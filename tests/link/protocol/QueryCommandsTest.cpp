#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The 18-byte identity reply: a lead byte, the 16 identity characters, a trailing byte.
Reply IdentityReply(std::uint8_t lead, std::string_view text) {
    Bytes bytes{lead};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0x0D);
    return Reply{{bytes}, Seconds(0.02), Seconds(0.001)};
}

class Query : public ::testing::Test, public LinkFixture {};

// --- ReadIdentity ---

TEST_F(Query, SilentDcGetsTwelveIdentityFramesTwoSecondsApart) {
    comm.IdentityText = "previous";
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 12u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("84 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 2.0, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 12);
    // The last frame is not awaited.
    EXPECT_LT((clock.Now() - writes.back().at).count(), 0.002);
    EXPECT_EQ(comm.IdentityText, "previous");
}

TEST_F(Query, IdentityReplyFillsTheIdentity) {
    port.Then(IdentityReply(0x00, "VERNO1B FW-1A DC"));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(comm.IdentityText, "VERNO1B FW-1A DC");
    EXPECT_EQ(comm.IdentityBytes[0], 'V');
    EXPECT_EQ(comm.IdentityBytes[15], 'C');
    EXPECT_EQ(port.Writes().size(), 1u);
}

TEST_F(Query, IdentityInSeveralChunksIsAssembled) {
    port.Then(Chunks({"00 56 45 52 4E", "4F 31 42 20 46 57 2D", "31 41 20 44 43 0D"}));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(comm.IdentityText, "VERNO1B FW-1A DC");
}

TEST_F(Query, RefusedIdentityIsResentAtOnceAndTheSecondReplyUsed) {
    port.Then(IdentityReply(0xA5, "XXXXXXXXXXXXXXXX")).Then(IdentityReply(0x00, "VERNO1B FW-1A DC"));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_NEAR(Gap(writes, 1), 0.021, 0.0015);  // the pass that took in the refusal
    EXPECT_EQ(comm.IdentityText, "VERNO1B FW-1A DC");
}

TEST_F(Query, LinkAbortedLeftSetStopsReadIdentityAtOnce) {
    comm.LinkAborted = true;
    comm.IdentityText = "previous";
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    EXPECT_EQ(comm.IdentityText, "previous");
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Query, FailingWriteFailsReadIdentityWithoutTouchingTheFlags) {
    port.FailWrite(0);
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::PortError);
    EXPECT_FALSE(comm.CommError);
    EXPECT_FALSE(comm.LinkAborted);
    EXPECT_FALSE(comm.TransferFailed);
}

// --- ReadRevision ---

TEST_F(Query, RevisionInOneChunk) {
    port.Then(Answer("5A 07"));
    EXPECT_EQ(comm.ReadRevision().revision, 7);
    EXPECT_EQ(port.Writes().at(0).bytes, Hex("BA 00"));
    EXPECT_EQ(port.Clears(), 0);
}

TEST_F(Query, RevisionSplitAcrossChunks) {
    port.Then(Chunks({"5A", "07"}));
    EXPECT_EQ(comm.ReadRevision().revision, 7);
}

TEST_F(Query, SilentDcGivesRevisionZeroAfterTwelveFramesOneSecondApart) {
    comm.RxBuf[1] = 9;
    const RevisionReply reply = comm.ReadRevision();
    EXPECT_EQ(reply.status, LinkStatus::Timeout);
    EXPECT_EQ(reply.revision, 0);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 12u);
    EXPECT_NEAR(Gap(writes, 11), 1.0, 0.002);
}

// --- SendWordCommand / SendB8WordCommand ---

TEST_F(Query, WordCommandFrameAndAcknowledgement) {
    port.Then(Answer("5A"));
    comm.CommError = true;  // cleared before the first transmission
    comm.SendWordCommand(0xB6, 0x1234);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B6 12 34 00"));
    EXPECT_EQ(port.Clears(), 1);
    EXPECT_FALSE(comm.TransferFailed);
    EXPECT_FALSE(comm.CommError);
    // The command stays open after its acknowledgement, for a payload's reply.
    comm.ReceiveData(Hex("77"));
    EXPECT_EQ(comm.RxBuf[1], 0x77);
}

TEST_F(Query, SilentDcGetsFiveWordFramesThenTransferFailed) {
    comm.SendB8WordCommand(42);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 5u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("B8 00 2A 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 1.0, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 5);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Query, AcknowledgementInTheTimeoutPassIsOverriddenByTheResend) {
    pump.step = Seconds(0.25);  // exact steps: the fifth pass is the first past one second
    port.Then(Answer("5A", Seconds(1.1))).Otherwise(Silent());
    comm.SendWordCommand(0xB9, 0x0102);
    EXPECT_GE(port.DeliveredChunks(), 1);
    EXPECT_EQ(port.Writes().size(), 5u);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Query, AcknowledgementBeforeTheTimeoutIsTaken) {
    pump.step = Seconds(0.25);
    port.Then(Answer("5A", Seconds(0.9)));
    comm.SendWordCommand(0xB9, 0x0102);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Query, FailingWriteIsTrappedInSendWordCommandOnly) {
    port.FailWrite(0);
    comm.SendWordCommand(0xB6, 1);
    EXPECT_TRUE(comm.CommError);
    EXPECT_TRUE(comm.LinkAborted);
    EXPECT_TRUE(comm.TransferFailed);

    LinkFixture other;
    other.port.FailWrite(0);
    other.comm.SendB8WordCommand(1);
    EXPECT_FALSE(other.comm.CommError);
    EXPECT_FALSE(other.comm.LinkAborted);
    EXPECT_TRUE(other.comm.TransferFailed);
}

TEST_F(Query, CommErrorDuringTheWaitStopsTheWordCommand) {
    pump.onPump = [this] { comm.CommError = true; };
    EXPECT_EQ(comm.SendWordCommand(0xB6, 1), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    EXPECT_TRUE(comm.TransferFailed);
}

// --- EndConnection ---

TEST_F(Query, SilentDcGetsFiveEndFramesOneSecondApart) {
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 5u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("A8 55 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 1.0, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 0);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Query, AcknowledgedEndClearsAnEarlierFailure) {
    comm.TransferFailed = true;
    comm.CommError = true;
    port.Then(Answer("5A"));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_FALSE(comm.TransferFailed);
    EXPECT_FALSE(comm.CommError);
    EXPECT_EQ(port.Writes().size(), 1u);
}

TEST_F(Query, RefusedEndIsResentAndTheLaterAcknowledgementCompletes) {
    port.Then(Answer("A5")).Then(Answer("5A"));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].bytes, Hex("A8 55 00"));
    EXPECT_LT(Gap(writes, 1), 0.01);
}

TEST_F(Query, FailingWriteFailsEndConnection) {
    port.FailWrite(0);
    EXPECT_EQ(comm.EndConnection(), LinkStatus::PortError);
    EXPECT_TRUE(comm.TransferFailed);
    EXPECT_FALSE(comm.CommError);
}

}  // namespace
}  // namespace verno::link::test
