// The receive handler seen from the wire: replies in chunks as the port groups them, and where
// their bytes end up.
#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ByteLayer : public ::testing::Test, public LinkFixture {
protected:
    Bytes Rx(std::size_t from, std::size_t count) const {
        return {comm.RxBuf.begin() + static_cast<long>(from), comm.RxBuf.begin() + static_cast<long>(from + count)};
    }
};

TEST_F(ByteLayer, IdentityReplyInSeveralChunksCompletesWithTheChunkReachingTheLength) {
    // The last chunk runs two bytes past the reply: stored, and the reply still complete.
    port.Then(Chunks({"5A 41 42 43 44 45", "46 47 48 49 4A 4B", "4C 4D 4E 4F 50 FF 99 98"}));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(Rx(0, 20), Hex("5A 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 FF 99 98"));
    EXPECT_EQ(comm.IdentityText, "ABCDEFGHIJKLMNOP");
}

TEST_F(ByteLayer, EndConnectionTakesEveryChunkFromIndexZero) {
    port.Then(Answer("A5")).Then(Answer("5A"));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_EQ(comm.RxBuf[0], 0x5A);
    EXPECT_EQ(comm.RxBuf[1], 0x00);
}

TEST_F(ByteLayer, ARefusalAndTheAcknowledgementInOnePassEndTheConnectionWithoutAnotherFrame) {
    // The reply is complete before the resend the refusal asks for: nothing outstanding, so
    // nothing goes out.
    port.Then(Chunks({"A5", "5A"}, Seconds(0.005), Seconds(0)));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 1u);
}

TEST_F(ByteLayer, RevisionReplySplitAcrossChunksStillHasTheRevisionAtIndexOne) {
    port.Then(Chunks({"5A", "07"}));
    EXPECT_EQ(comm.ReadRevision().revision, 7);
    EXPECT_EQ(Rx(0, 2), Hex("5A 07"));
}

TEST_F(ByteLayer, MemoryReplyNeedsTheAcknowledgementFirst) {
    // A full-length reply that does not begin with 0x5A is no reply: the read is resent.
    Bytes wrong(129, 0x22);
    wrong[0] = 0x00;
    Bytes right(129, 0x33);
    right[0] = 0x5A;
    port.Then(Reply{{wrong}}).Then(Reply{{right}});
    EXPECT_EQ(comm.ReadMemory(8, 8), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_EQ(Rx(1, 128), Bytes(128, 0x33));
}

TEST_F(ByteLayer, BytesWithNoReplyOutstandingChangeNothing) {
    port.Then(Answer("5A 07"));
    ASSERT_EQ(comm.ReadRevision().revision, 7);
    const auto rxBefore = comm.RxBuf;
    comm.ReceiveData(Hex("5A A5 01 02"));
    EXPECT_EQ(comm.RxBuf, rxBefore);
}

TEST_F(ByteLayer, OverLongRepliesAreDroppedPastTheBufferAndNothingIsWrittenAfterClose) {
    ASSERT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    Bytes reply(300, 0x44);
    reply[0] = 0x5A;
    port.Then(Reply{{reply}});
    EXPECT_EQ(comm.ReadMemory(8, 8), LinkStatus::Ok);
    EXPECT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    EXPECT_EQ(comm.RxBuf[128], 0x44);

    comm.ShrinkReceiveBuffers();  // after Close only index 0 is left
    port.Otherwise(Answer("5A 01 02 03 04 05"));
    EXPECT_NE(comm.ReadIdentity(), LinkStatus::Ok);
    (void)comm.ReadRevision();
    (void)comm.EndConnection();
    (void)comm.SendWordCommand(wire::kCloseArea1, 1);
    (void)comm.ReadMemory(8, 8);
    EXPECT_EQ(comm.RxBuf.size(), 1u);
}

TEST_F(ByteLayer, ReceiveBuffersNeverShrinkBelowTheLongestReply) {
    comm.ResizeReceiveBuffers(10);
    EXPECT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    comm.ResizeReceiveBuffers(136 * 512);
    EXPECT_EQ(comm.RxBuf.size(), 136u * 512 + 1);
}

TEST_F(ByteLayer, PauseWaitsOnTheClockWithoutRunningNotifications) {
    const auto before = clock.Now();
    comm.Pause(Seconds(1.5));
    EXPECT_DOUBLE_EQ((clock.Now() - before).count(), 1.5);
    EXPECT_EQ(pump.passes, 0);
}

}  // namespace
}  // namespace verno::link::test
