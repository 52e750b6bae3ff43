#include <gtest/gtest.h>

#include <numeric>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Framed(const Bytes& payload) {
    Bytes frame = payload;
    frame.push_back(0x00);
    return frame;
}

class Blocks : public ::testing::Test, public LinkFixture {
protected:
    Blocks() {
        std::iota(comm.DataBuf.begin(), comm.DataBuf.end(), std::uint8_t{1});
    }
    Bytes CodePayload() const { return Framed(Bytes(comm.DataBuf.begin(), comm.DataBuf.end())); }
    Bytes ProfilePayload() const { return Framed(Bytes(comm.DataBuf.begin(), comm.DataBuf.begin() + 17)); }
};

// --- SendBlockHeader / WriteCodeBlock ---

TEST_F(Blocks, SilentDcGetsTwentyTwoHeadersTwoTenthsApart) {
    EXPECT_EQ(comm.SendBlockHeader(0x0123, wire::kWriteArea1Block), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 22u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("B5 01 23 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 0.2, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 22);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Blocks, CodeBlockIsHeaderThenPayloadAfterTheAcknowledgement) {
    port.Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteCodeBlock(0x0123, wire::kWriteArea1Block), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("B5 01 23 00"));
    EXPECT_EQ(writes[1].bytes, CodePayload());
    EXPECT_EQ(writes[1].bytes.size(), 130u);
    EXPECT_GT(Gap(writes, 1), 0.004);  // after the header's acknowledgement
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, RefusedHeaderIsResentAtOnce) {
    port.Then(Answer("A5")).Then(Answer("5A"));
    EXPECT_EQ(comm.SendBlockHeader(0x0008, wire::kWriteArea2Block), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].bytes, Hex("B7 00 08 00"));
    EXPECT_LT(Gap(writes, 1), 0.01);
}

TEST_F(Blocks, NeverAcknowledgedPayloadIsTriedFourTimes) {
    for (int i = 0; i < 4; ++i) port.Then(Answer("5A")).Then(Silent());
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 8u);
    for (std::size_t i = 0; i < writes.size(); i += 2) {
        EXPECT_EQ(writes[i].bytes, Hex("B5 00 10 00"));
        EXPECT_EQ(writes[i + 1].bytes, CodePayload());
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 1.0, 0.002);  // next header once the payload timed out
        }
    }
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Blocks, RefusedPayloadStartsTheNextTryAtOnce) {
    port.Then(Answer("5A")).Then(Answer("A5")).Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[2].bytes, Hex("B5 00 10 00"));
    EXPECT_LT(Gap(writes, 2), 0.01);
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, EarlierFailureSendsTheHeaderButNotThePayload) {
    comm.TransferFailed = true;
    port.Then(Answer("5A"));
    comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B5 00 10 00"));
}

TEST_F(Blocks, CommErrorLeftSetStopsTheCodeBlockAfterOneHeader) {
    comm.CommError = true;
    port.Otherwise(Answer("5A", Seconds(0.5)));
    comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Blocks, FailingWritesAreTrappedInTheCodeBlock) {
    port.Then(Answer("5A"));
    port.FailWrite(1);  // the payload
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block), LinkStatus::PortError);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_TRUE(comm.CommError);
    EXPECT_TRUE(comm.LinkAborted);
    EXPECT_TRUE(comm.TransferFailed);

    LinkFixture header;
    header.port.FailWrite(0);
    EXPECT_EQ(header.comm.SendBlockHeader(0x0010, wire::kWriteArea1Block), LinkStatus::PortError);
    EXPECT_TRUE(header.comm.CommError);
    EXPECT_TRUE(header.comm.LinkAborted);
    EXPECT_TRUE(header.comm.TransferFailed);
}

// --- SendProfileBlockHeader / WriteProfileBlock ---

TEST_F(Blocks, ProfileBlockIsHeaderThenSeventeenBytes) {
    port.Then(Answer("5A")).Then(Answer("5A"));
    comm.LinkAborted = true;
    comm.WriteProfileBlock(0x0104);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("B2 01 04 00"));
    EXPECT_EQ(writes[1].bytes, ProfilePayload());
    EXPECT_EQ(port.Clears(), 2);  // the block's own clear and the header's first; none for the payload
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, RefusedProfileHeaderEndsTheBlockAsFailed) {
    port.Then(Answer("A5"));
    EXPECT_EQ(comm.WriteProfileBlock(0x0104), LinkStatus::Refused);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Blocks, SilentDcGetsTwelveProfileHeadersATenthApart) {
    EXPECT_EQ(comm.SendProfileBlockHeader(0x0001), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 12u);
    EXPECT_NEAR(Gap(writes, 11), 0.1, 0.002);
    EXPECT_EQ(port.Clears(), 1);
    EXPECT_FALSE(comm.TransferFailed);  // the header step only reports
}

TEST_F(Blocks, ProfilePayloadRefusedIsResentAtOnceAndSilenceFailsAfterTwelve) {
    port.Then(Answer("5A")).Then(Answer("A5")).Then(Answer("5A"));
    comm.WriteProfileBlock(0x0104);
    auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2].bytes, ProfilePayload());
    EXPECT_LT(Gap(writes, 2), 0.01);
    EXPECT_FALSE(comm.TransferFailed);

    LinkFixture silent;
    silent.port.Then(Answer("5A"));
    silent.comm.WriteProfileBlock(0x0104);
    writes = silent.port.Writes();
    ASSERT_EQ(writes.size(), 13u);  // header and twelve payloads
    EXPECT_NEAR(silent.Gap(writes, 12), 0.2, 0.002);
    EXPECT_TRUE(silent.comm.TransferFailed);
}

TEST_F(Blocks, FailingProfileHeaderWriteIsTrappedAndFailsTheBlock) {
    port.FailWrite(0);
    comm.WriteProfileBlock(0x0104);
    EXPECT_TRUE(comm.CommError);
    EXPECT_TRUE(comm.LinkAborted);
    EXPECT_TRUE(comm.TransferFailed);
}

// --- SetDateTime ---

TEST(ClockRecord, BcdFieldsTwelveHourClockAndSum) {
    const auto record = CommModule::BuildClockRecord("07/04/09", "15:30:05", 233);
    EXPECT_EQ(Bytes(record.begin(), record.end()), Hex("09 04 07 05 30 83 E9 00 B5"));
    const std::pair<const char*, std::uint8_t> hours[] = {
        {"00:00:00", 0x00}, {"11:59:59", 0x11}, {"12:00:00", 0x92}, {"13:00:00", 0x81}, {"23:59:00", 0x91}};
    for (const auto& [time, hourByte] : hours) EXPECT_EQ(CommModule::BuildClockRecord("12/31/99", time, 0)[5], hourByte) << time;
}

TEST_F(Blocks, ClockIsHeaderThenTheNineByteRecord) {
    port.Then(Answer("5A")).Then(Answer("5A"));
    comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("97 00"));
    EXPECT_EQ(writes[1].bytes, Hex("09 04 07 05 30 83 E9 00 B5 00"));
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, RefusedClockRecordEndsTheExchangeWithoutFailure) {
    port.Then(Answer("5A")).Then(Answer("A5"));
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Refused);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, SilentClockRecordIsSentFiveTimesThenFails) {
    port.Then(Answer("5A"));
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_NEAR(Gap(writes, 5), 1.0, 0.002);
    EXPECT_TRUE(comm.TransferFailed);

    LinkFixture silent;
    silent.comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte);
    EXPECT_EQ(silent.port.Writes().size(), 5u);  // the header: M = 3
    EXPECT_TRUE(silent.comm.TransferFailed);
}

TEST_F(Blocks, LinkAbortedDuringTheClockRecordStopsWithoutFailure) {
    port.Then(Answer("5A"));
    pump.onPump = [this] {
        if (port.Writes().size() == 2) comm.LinkAborted = true;
    };
    comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_LT((clock.Now() - port.Writes().back().at).count(), 0.002);
    EXPECT_FALSE(comm.TransferFailed);
}

// --- ReadMemory ---

TEST_F(Blocks, MemoryBlockLandsAtRxBufOneToOneTwentyEight) {
    Bytes reply{0x5A};
    for (int i = 0; i < 128; ++i) reply.push_back(static_cast<std::uint8_t>(0x80 + i));
    port.Then(Reply{{Bytes(reply.begin(), reply.begin() + 50), Bytes(reply.begin() + 50, reply.end())},
                    Seconds(0.01), Seconds(0.01)});
    comm.RxBuf[0] = 0x77;
    comm.ReadMemory(0x0100, 0x0100);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B4 01 00 00"));
    EXPECT_EQ(Bytes(comm.RxBuf.begin() + 1, comm.RxBuf.begin() + 129), Bytes(reply.begin() + 1, reply.end()));
    EXPECT_EQ(comm.RxBuf[0], 0x77);
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, SilentMemoryReadIsSentFiveTimesThenFails) {
    Bytes earlier(129, 0x99);
    earlier[0] = 0x5A;
    port.Then(Reply{{earlier}});
    ASSERT_EQ(comm.ReadMemory(0x0000, 0x0000), LinkStatus::Ok);
    comm.RxBuf[1] = 0x11;
    // The earlier block is still in the link: it must not be taken for this one.
    EXPECT_NE(comm.ReadMemory(0x0008, 0x0008), LinkStatus::Ok);
    EXPECT_EQ(comm.RxBuf[1], 0x11);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_NEAR(Gap(writes, 5), 0.2, 0.002);
    EXPECT_EQ(port.Clears(), 6);
    EXPECT_TRUE(comm.TransferFailed);
}

TEST_F(Blocks, OverLongMemoryReplyIsNotWrittenPastTheBuffers) {
    port.Then(Reply{{Bytes(400, 0x5A)}, Seconds(0.01), Seconds(0.001)});
    comm.ReadMemory(0x0008, 0x0008);
    EXPECT_EQ(comm.RxBuf.size(), CommModule::kMinReceiveBuffer);
    EXPECT_EQ(comm.RxBuf[128], 0x5A);
    EXPECT_FALSE(comm.TransferFailed);
}

TEST_F(Blocks, MemoryReadTrapsAFailingWriteAndStopsOnCommErrorLeftSet) {
    port.FailWrite(0);
    comm.ReadMemory(0x0008, 0x0008);
    EXPECT_TRUE(comm.CommError);
    EXPECT_TRUE(comm.LinkAborted);
    EXPECT_TRUE(comm.TransferFailed);

    LinkFixture left;
    left.comm.CommError = true;
    left.port.Otherwise(Answer("5A", Seconds(0.5)));
    left.comm.ReadMemory(0x0008, 0x0008);
    EXPECT_EQ(left.port.Writes().size(), 1u);
    EXPECT_EQ(left.pump.passes, 1);
    EXPECT_TRUE(left.comm.TransferFailed);
}

}  // namespace
}  // namespace verno::link::test
