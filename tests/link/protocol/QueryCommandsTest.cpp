#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"
#include "tests/support/LinkProbes.h"

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

class Query : public ::testing::Test, public LinkFixture {
protected:
    // An answered identity read first, so that a later one is seen to leave it alone.
    void ReadPrevious() {
        port.Then(IdentityReply(0x00, "previous-identty"));
        ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    }
};

// --- ReadIdentity ---

TEST_F(Query, SilentDcGetsTwelveIdentityFramesTwoSecondsApart) {
    ReadPrevious();
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::Timeout);
    auto writes = port.Writes();
    writes.erase(writes.begin());
    ASSERT_EQ(writes.size(), 12u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("84 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 2.0, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 13);
    // The last frame is not awaited.
    EXPECT_LT((clock.Now() - writes.back().at).count(), 0.002);
    EXPECT_EQ(comm.Identity(), "previous-identty");
}

TEST_F(Query, IdentityReplyFillsTheIdentityInOneChunkOrSeveral) {
    port.Then(IdentityReply(0x00, "VERNO1B FW-1A DC"));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(comm.Identity(), "VERNO1B FW-1A DC");
    EXPECT_EQ(port.Writes().size(), 1u);

    port.Then(Chunks({"00 56 45 52 4E", "4F 31 42 20 46 57 2D", "32 41 20 44 43 0D"}));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(comm.Identity(), "VERNO1B FW-2A DC");
}

TEST_F(Query, RefusedIdentityIsResentAtOnceAndTheSecondReplyUsed) {
    port.Then(IdentityReply(0xA5, "XXXXXXXXXXXXXXXX")).Then(IdentityReply(0x00, "VERNO1B FW-1A DC"));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_NEAR(Gap(writes, 1), 0.021, 0.0015);  // the pass that took in the refusal
    EXPECT_EQ(comm.Identity(), "VERNO1B FW-1A DC");
}

TEST_F(Query, AbortStopsReadIdentityAtOnceAndLeavesNoFailure) {
    ReadPrevious();
    comm.Abort();
    const int passes = pump.passes;
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_EQ(pump.passes, passes + 1);
    EXPECT_EQ(comm.Identity(), "previous-identty");
    EXPECT_FALSE(FailureStands(*this));
}

TEST_F(Query, FailingWriteFailsReadIdentityAndLeavesTheLinkAsItWas) {
    port.FailWrite(0);
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::PortError);
    EXPECT_FALSE(IdentityStopsAtOnce(*this));
    EXPECT_FALSE(MemoryReadStopsAtOnce(*this));
    EXPECT_FALSE(FailureStands(*this));
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
    port.Then(Answer("5A 09"));
    ASSERT_EQ(comm.ReadRevision().revision, 9);
    const RevisionReply reply = comm.ReadRevision();
    EXPECT_EQ(reply.status, LinkStatus::Timeout);
    EXPECT_EQ(reply.revision, 0);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 13u);
    EXPECT_NEAR(Gap(writes, 12), 1.0, 0.002);
}

// --- SendWordCommand / SendB8WordCommand ---

TEST_F(Query, WordCommandFrameAndAcknowledgementAfterClose) {
    port.Then(Answer("5A"));
    comm.Abort();  // Close's communication error is cleared before the first transmission
    EXPECT_EQ(comm.SendWordCommand(0xB6, 0x1234), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B6 12 34 00"));
    EXPECT_EQ(port.Clears(), 1);
    EXPECT_FALSE(MemoryReadStopsAtOnce(*this));
    EXPECT_FALSE(FailureStands(*this));
}

TEST_F(Query, SilentDcGetsFiveWordFramesThenTheFailureStands) {
    EXPECT_EQ(comm.SendB8WordCommand(42), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 5u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("B8 00 2A 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 1.0, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 5);
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Query, AcknowledgementInTheTimeoutPassIsOverriddenByTheResend) {
    pump.step = Seconds(0.25);  // exact steps: the fifth pass is the first past one second
    port.Then(Answer("5A", Seconds(1.1))).Otherwise(Silent());
    EXPECT_EQ(comm.SendWordCommand(0xB9, 0x0102), LinkStatus::Timeout);
    EXPECT_GE(port.DeliveredChunks(), 1);
    EXPECT_EQ(port.Writes().size(), 5u);
}

TEST_F(Query, AcknowledgementBeforeTheTimeoutIsTaken) {
    pump.step = Seconds(0.25);
    port.Then(Answer("5A", Seconds(0.9)));
    EXPECT_EQ(comm.SendWordCommand(0xB9, 0x0102), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 1u);
}

TEST_F(Query, FailingWriteIsTrappedInSendWordCommandOnlyAndTheFailureStandsInBoth) {
    // Trapped: the link is left as Close leaves it.
    port.FailWrite(0);
    EXPECT_EQ(comm.SendWordCommand(0xB6, 1), LinkStatus::PortError);
    EXPECT_TRUE(IdentityStopsAtOnce(*this));
    EXPECT_TRUE(MemoryReadStopsAtOnce(*this));

    LinkFixture other;
    other.port.FailWrite(0);
    EXPECT_EQ(other.comm.SendB8WordCommand(1), LinkStatus::PortError);
    EXPECT_FALSE(IdentityStopsAtOnce(other));
    EXPECT_FALSE(MemoryReadStopsAtOnce(other));
    EXPECT_TRUE(FailureStands(other));

    LinkFixture trapped;
    trapped.port.FailWrite(0);
    EXPECT_EQ(trapped.comm.SendWordCommand(0xB6, 1), LinkStatus::PortError);
    EXPECT_TRUE(FailureStands(trapped));
}

TEST_F(Query, CloseDuringTheWaitStopsTheWordCommandAndTheFailureStands) {
    pump.onPump = [this] { comm.Abort(); };
    EXPECT_EQ(comm.SendWordCommand(0xB6, 1), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    pump.onPump = nullptr;
    EXPECT_TRUE(FailureStands(*this));
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
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Query, AcknowledgedEndClearsAnEarlierFailureAndClose) {
    EXPECT_EQ(comm.SendB8WordCommand(1), LinkStatus::Timeout);  // a silent DC leaves the failure
    comm.Abort();
    port.Then(Answer("5A"));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 6u);
    EXPECT_FALSE(MemoryReadStopsAtOnce(*this));
    EXPECT_FALSE(FailureStands(*this));
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
    EXPECT_FALSE(MemoryReadStopsAtOnce(*this));
    EXPECT_TRUE(FailureStands(*this));
}

}  // namespace
}  // namespace verno::link::test
