#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ByteLayer : public ::testing::Test, public LinkFixture {
protected:
    void Feed(std::string_view hex) { comm.ReceiveData(Hex(hex)); }
    Bytes Rx(std::size_t from, std::size_t count) const {
        return {comm.RxBuf.begin() + static_cast<long>(from), comm.RxBuf.begin() + static_cast<long>(from + count)};
    }
};

TEST_F(ByteLayer, SendBytesPutsTheFrameAndOneZeroInOneWrite) {
    comm.PendingCmd = wire::kCloseArea1;
    comm.NakReceived = true;
    comm.TxBuf[0] = 0xB6;
    comm.TxBuf[1] = 0x12;
    comm.TxBuf[2] = 0x34;
    comm.TxBuf[3] = 0x77;  // beyond the count: not sent
    EXPECT_EQ(comm.SendBytes(3), PortResult::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B6 12 34 00"));
    EXPECT_FALSE(comm.NakReceived);
}

TEST_F(ByteLayer, SendBytesWithoutPendingCommandSendsNothing) {
    comm.PendingCmd = CommModule::kNoCommand;
    comm.NakReceived = true;
    comm.TxBuf[0] = 0x84;
    EXPECT_EQ(comm.SendBytes(1), PortResult::Ok);
    EXPECT_TRUE(port.Writes().empty());
    EXPECT_TRUE(comm.NakReceived);
}

TEST_F(ByteLayer, IdentityReplyInSeveralChunksCompletesWithTheChunkReachingTheLength) {
    comm.PendingCmd = wire::kReadIdentity;
    comm.RxExpected = 18;
    Feed("00 41 42 43 44 45");
    Feed("46 47 48 49 4A 4B");
    EXPECT_FALSE(comm.ReplyOk);
    EXPECT_EQ(comm.PendingCmd, wire::kReadIdentity);
    Feed("4C 4D 4E 4F 50 FF 99 98");  // two bytes past the reply
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.PendingCmd, CommModule::kNoCommand);
    EXPECT_EQ(comm.RxCount, 20);
    EXPECT_EQ(Rx(0, 20), Hex("00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 FF 99 98"));
    EXPECT_FALSE(comm.NakReceived);
}

TEST_F(ByteLayer, EndConnectionReplyIsWrittenFromIndexZeroForEveryChunk) {
    comm.PendingCmd = wire::kEndConnection;
    Feed("A5");
    EXPECT_TRUE(comm.NakReceived);
    EXPECT_FALSE(comm.ReplyOk);
    comm.NakReceived = false;  // as the resend does
    Feed("5A");
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.RxBuf[0], 0x5A);
    EXPECT_EQ(comm.RxCount, 2);
    EXPECT_EQ(comm.PendingCmd, CommModule::kNoCommand);
}

TEST_F(ByteLayer, RevisionReplySplitAcrossChunksStillHasTheRevisionAtIndexOne) {
    comm.PendingCmd = wire::kReadRevision;
    Feed("5A");
    EXPECT_FALSE(comm.ReplyOk);
    Feed("07");
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(Rx(0, 2), Hex("5A 07"));
}

TEST_F(ByteLayer, RefusedHeaderSetsRefusalAndReplyAndKeepsThePendingCommand) {
    comm.PendingCmd = wire::kWriteArea1Block;
    Feed("A5");
    EXPECT_TRUE(comm.NakReceived);
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.PendingCmd, wire::kWriteArea1Block);
    comm.ReplyOk = false;
    comm.RxCount = 0;
    Feed("5A 5A");
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.PendingCmd, wire::kWriteArea1Block);
}

TEST_F(ByteLayer, MemoryReplyGoesToTheBlockBufferAndNeedsTheAcknowledgementFirst) {
    comm.PendingCmd = wire::kReadMemory;
    comm.RxExpected = 129;
    Bytes reply(129, 0x33);
    reply[0] = 0x00;  // not an acknowledgement: complete length but no reply
    comm.ReceiveData(reply);
    EXPECT_FALSE(comm.ReplyOk);
    EXPECT_EQ(comm.RxBuf[1], 0);
    comm.RxCount = 0;
    reply[0] = 0x5A;
    comm.ReceiveData(reply);
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.BlockBuf[128], 0x33);
}

TEST_F(ByteLayer, BytesWithoutPendingCommandChangeNothing) {
    comm.PendingCmd = CommModule::kNoCommand;
    comm.RxCount = 3;
    const auto rxBefore = comm.RxBuf;
    const auto blockBefore = comm.BlockBuf;
    Feed("5A A5 01 02");
    EXPECT_EQ(comm.RxBuf, rxBefore);
    EXPECT_EQ(comm.BlockBuf, blockBefore);
    EXPECT_EQ(comm.RxCount, 3);
    EXPECT_FALSE(comm.ReplyOk);
    EXPECT_FALSE(comm.NakReceived);
    EXPECT_EQ(comm.PendingCmd, CommModule::kNoCommand);
}

TEST_F(ByteLayer, OverLongRepliesAreDroppedButCounted) {
    ASSERT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    comm.PendingCmd = wire::kReadMemory;
    comm.RxExpected = 129;
    Bytes reply(300, 0x44);
    reply[0] = 0x5A;
    comm.ReceiveData(reply);
    EXPECT_TRUE(comm.ReplyOk);
    EXPECT_EQ(comm.RxCount, 300);
    EXPECT_EQ(comm.BlockBuf.size(), CommModule::kMinReceiveBuffer);
    EXPECT_EQ(comm.BlockBuf.back(), 0x44);

    comm.ShrinkReceiveBuffers();  // after Close only index 0 is left
    for (const std::uint8_t cmd : {wire::kReadIdentity, wire::kReadRevision, wire::kEndConnection,
                                   wire::kCloseArea1, wire::kReadMemory}) {
        comm.PendingCmd = cmd;
        comm.RxCount = 0;
        comm.RxExpected = 500;
        Feed("5A 01 02 03 04 05");
        EXPECT_EQ(comm.RxCount, 6);
    }
    EXPECT_EQ(comm.RxBuf.size(), 1u);
    EXPECT_EQ(comm.BlockBuf.size(), 1u);
}

TEST_F(ByteLayer, ReceiveBuffersNeverShrinkBelowTheLongestReply) {
    comm.ResizeReceiveBuffers(10);
    EXPECT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    comm.ResizeReceiveBuffers(136 * 512);
    EXPECT_EQ(comm.RxBuf.size(), 136u * 512 + 1);
    EXPECT_EQ(comm.BlockBuf.size(), comm.RxBuf.size());
}

TEST_F(ByteLayer, PauseWaitsOnTheClockWithoutRunningNotifications) {
    const auto before = clock.Now();
    comm.Pause(Seconds(1.5));
    EXPECT_DOUBLE_EQ((clock.Now() - before).count(), 1.5);
    EXPECT_EQ(pump.passes, 0);
}

}  // namespace
}  // namespace verno::link::test
