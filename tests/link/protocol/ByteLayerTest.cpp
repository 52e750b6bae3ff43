// The receive handler seen from the wire: replies in chunks as the port groups them, and where
// their bytes end up.
#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ByteLayer : public ::testing::Test, public LinkFixture {};

TEST_F(ByteLayer, IdentityReplyInSeveralChunksCompletesWithTheChunkReachingTheLength) {
    // The last chunk runs two bytes past the reply: the reply is still complete.
    port.Then(Chunks({"5A 41 42 43 44 45", "46 47 48 49 4A 4B", "4C 4D 4E 4F 50 FF 99 98"}));
    ASSERT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(comm.Identity(), "ABCDEFGHIJKLMNOP");
}

TEST_F(ByteLayer, EndConnectionTakesEveryChunkFromIndexZero) {
    // Stored behind the refusal, the acknowledgement would never complete the reply.
    port.Then(Answer("A5")).Then(Answer("5A"));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 2u);
}

TEST_F(ByteLayer, ARefusalAndTheAcknowledgementInOnePassEndTheConnectionWithoutAnotherFrame) {
    // The reply is complete before the resend the refusal asks for: nothing outstanding, so
    // nothing goes out.
    port.Then(Chunks({"A5", "5A"}, Seconds(0.005), Seconds(0)));
    EXPECT_EQ(comm.EndConnection(), LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 1u);
}

TEST_F(ByteLayer, MemoryReplyNeedsTheAcknowledgementFirst) {
    // A full-length reply that does not begin with 0x5A is no reply: the read is resent.
    Bytes wrong(129, 0x22);
    wrong[0] = 0x00;
    Bytes right(129, 0x33);
    right[0] = 0x5A;
    port.Then(Reply{{wrong}}).Then(Reply{{right}});
    const MemoryBlock block = comm.ReadMemory(8, 8);
    EXPECT_EQ(block.status, LinkStatus::Ok);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), Bytes(128, 0x33));
}

TEST_F(ByteLayer, OverLongRepliesAreDroppedPastTheBufferAndOnlyIndexZeroIsKeptAfterClose) {
    Bytes reply(300, 0x44);
    reply[0] = 0x5A;
    port.Then(Reply{{reply}});
    const MemoryBlock block = comm.ReadMemory(8, 8);
    EXPECT_EQ(block.status, LinkStatus::Ok);
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), Bytes(128, 0x44));

    // After Close the replies still complete, but every byte past index 0 is dropped.
    comm.ShrinkReceiveBuffers();
    port.Then(Answer("5A 07")).Then(Reply{{reply}});
    const RevisionReply revision = comm.ReadRevision();
    EXPECT_EQ(revision.status, LinkStatus::Ok);
    EXPECT_EQ(revision.revision, 0);
    const MemoryBlock dropped = comm.ReadMemory(8, 8);
    EXPECT_EQ(dropped.status, LinkStatus::Ok);
    EXPECT_EQ(Bytes(dropped.bytes.begin(), dropped.bytes.end()), Bytes(128, 0x00));
}

TEST_F(ByteLayer, ReceiveBuffersNeverShrinkBelowTheLongestReply) {
    comm.ResizeReceiveBuffers(10);
    Bytes reply(129, 0x55);
    reply[0] = 0x5A;
    reply[128] = 0x66;
    port.Then(Reply{{reply}});
    const MemoryBlock block = comm.ReadMemory(8, 8);
    EXPECT_EQ(block.status, LinkStatus::Ok);
    EXPECT_EQ(block.bytes[127], 0x66);
}

TEST_F(ByteLayer, PauseWaitsOnTheClockWithoutRunningNotifications) {
    const auto before = clock.Now();
    comm.Pause(Seconds(1.5));
    EXPECT_DOUBLE_EQ((clock.Now() - before).count(), 1.5);
    EXPECT_EQ(pump.passes, 0);
}

}  // namespace
}  // namespace verno::link::test
