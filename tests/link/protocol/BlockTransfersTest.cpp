#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "tests/link/protocol/ScriptedPort.h"
#include "tests/support/LinkProbes.h"

namespace verno::link::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, kBlockBytes + 1> kAnyBlock{};
constexpr std::array<std::uint8_t, 17> kAnyPiece{};

Bytes Framed(std::span<const std::uint8_t> payload) {
    Bytes frame(payload.begin(), payload.end());
    frame.push_back(0x00);
    return frame;
}

// Whether a failing write leaves the link as Close leaves it (every wait stops) with the
// failure standing; each seen on a link of its own, as each probe changes what it sees.
bool LeftAsCloseLeavesIt(const std::function<void(LinkFixture&)>& fail) {
    LinkFixture stopped;
    LinkFixture failed;
    fail(stopped);
    fail(failed);
    return IdentityStopsAtOnce(stopped) && MemoryReadStopsAtOnce(stopped) && FailureStands(failed);
}

class Blocks : public ::testing::Test, public LinkFixture {
protected:
    Blocks() { std::iota(data.begin(), data.end(), std::uint8_t{1}); }
    BlockPayload Block() const { return BlockPayload(data); }
    ProfilePiece Piece() const { return ProfilePiece(data.data(), 17); }
    std::array<std::uint8_t, kBlockBytes + 1> data{};
};

// --- WriteCodeBlock ---

TEST_F(Blocks, SilentDcGetsTwentyTwoHeadersTwoTenthsApartAndTheFailureStands) {
    EXPECT_EQ(comm.WriteCodeBlock(0x0123, wire::kWriteArea1Block, Block()), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 22u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, Hex("B5 01 23 00"));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 0.2, 0.002);
        }
    }
    EXPECT_EQ(port.Clears(), 23);  // the block's own clear, then one before every header
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, CodeBlockIsHeaderThenPayloadAfterTheAcknowledgement) {
    port.Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteCodeBlock(0x0123, wire::kWriteArea1Block, Block()), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("B5 01 23 00"));
    EXPECT_EQ(writes[1].bytes, Framed(data));
    EXPECT_EQ(writes[1].bytes.size(), 130u);
    EXPECT_GT(Gap(writes, 1), 0.004);  // after the header's acknowledgement
}

TEST_F(Blocks, RefusedHeaderIsResentAtOnce) {
    port.Then(Answer("A5")).Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteCodeBlock(0x0008, wire::kWriteArea2Block, Block()), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[1].bytes, Hex("B7 00 08 00"));
    EXPECT_LT(Gap(writes, 1), 0.01);
}

TEST_F(Blocks, NeverAcknowledgedPayloadIsTriedFourTimes) {
    for (int i = 0; i < 4; ++i) port.Then(Answer("5A")).Then(Silent());
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, Block()), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 8u);
    for (std::size_t i = 0; i < writes.size(); i += 2) {
        EXPECT_EQ(writes[i].bytes, Hex("B5 00 10 00"));
        EXPECT_EQ(writes[i + 1].bytes, Framed(data));
        if (i > 0) {
            EXPECT_NEAR(Gap(writes, i), 1.0, 0.002);  // next header once the payload timed out
        }
    }
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, RefusedPayloadStartsTheNextTryAtOnce) {
    port.Then(Answer("5A")).Then(Answer("A5")).Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, Block()), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[2].bytes, Hex("B5 00 10 00"));
    EXPECT_LT(Gap(writes, 2), 0.01);
}

TEST_F(Blocks, EarlierFailureSendsTheHeaderButNotThePayloadUntilANewSequence) {
    EXPECT_EQ(comm.SendB8WordCommand(1), LinkStatus::Timeout);  // a silent DC: five frames
    port.Then(Answer("5A")).Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_NE(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, Block()), LinkStatus::Ok);
    auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(writes[5].bytes, Hex("B5 00 10 00"));

    comm.ClearFailure();
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, Block()), LinkStatus::Ok);
    writes = port.Writes();
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes[7].bytes, Framed(data));
}

TEST_F(Blocks, CloseLeftStandingStopsTheCodeBlockAfterOneHeader) {
    comm.Abort();
    port.Otherwise(Answer("5A", Seconds(0.5)));
    EXPECT_EQ(comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, Block()), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    port.Otherwise(Silent());
    clock.Advance(Seconds(1));  // the late acknowledgements are gone
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, FailingWritesAreTrappedInTheCodeBlock) {
    EXPECT_TRUE(LeftAsCloseLeavesIt([](LinkFixture& f) {
        f.port.Then(Answer("5A"));
        f.port.FailWrite(1);  // the payload
        EXPECT_EQ(f.comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, kAnyBlock), LinkStatus::PortError);
        EXPECT_EQ(f.port.Writes().size(), 1u);
    }));
    EXPECT_TRUE(LeftAsCloseLeavesIt([](LinkFixture& f) {
        f.port.FailWrite(0);  // the header
        EXPECT_EQ(f.comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, kAnyBlock), LinkStatus::PortError);
    }));
}

// --- WriteProfileBlock ---

TEST_F(Blocks, ProfileBlockIsHeaderThenSeventeenBytesEvenAfterAnAbort) {
    // Close's abort left standing (its communication error cleared by a word command) does not
    // stop the block.
    comm.Abort();
    port.Then(Answer("5A"));
    ASSERT_EQ(comm.SendWordCommand(wire::kCloseArea1, 0), LinkStatus::Ok);
    const int clears = port.Clears();
    port.Then(Answer("5A")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteProfileBlock(0x0104, Piece()), LinkStatus::Ok);
    auto writes = port.Writes();
    writes.erase(writes.begin());
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("B2 01 04 00"));
    EXPECT_EQ(writes[1].bytes, Framed(Piece()));
    EXPECT_EQ(port.Clears() - clears, 2);  // the block's own clear and the header's first; none for the payload
}

TEST_F(Blocks, RefusedProfileHeaderEndsTheBlockAsFailed) {
    port.Then(Answer("A5"));
    EXPECT_EQ(comm.WriteProfileBlock(0x0104, Piece()), LinkStatus::Refused);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, SilentDcGetsTwelveProfileHeadersATenthApart) {
    EXPECT_EQ(comm.WriteProfileBlock(0x0001, Piece()), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 12u);
    EXPECT_NEAR(Gap(writes, 11), 0.1, 0.002);
    EXPECT_EQ(port.Clears(), 2);
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, ProfilePayloadRefusedIsResentAtOnceAndSilenceFailsAfterTwelve) {
    port.Then(Answer("5A")).Then(Answer("A5")).Then(Answer("5A"));
    EXPECT_EQ(comm.WriteProfileBlock(0x0104, Piece()), LinkStatus::Ok);
    auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2].bytes, Framed(Piece()));
    EXPECT_LT(Gap(writes, 2), 0.01);

    LinkFixture silent;
    silent.port.Then(Answer("5A"));
    EXPECT_EQ(silent.comm.WriteProfileBlock(0x0104, Piece()), LinkStatus::Timeout);
    writes = silent.port.Writes();
    ASSERT_EQ(writes.size(), 13u);  // header and twelve payloads
    EXPECT_NEAR(silent.Gap(writes, 12), 0.2, 0.002);
    EXPECT_TRUE(FailureStands(silent));
}

TEST_F(Blocks, FailingProfileHeaderWriteIsTrappedAndFailsTheBlock) {
    EXPECT_TRUE(LeftAsCloseLeavesIt([](LinkFixture& f) {
        f.port.FailWrite(0);
        EXPECT_EQ(f.comm.WriteProfileBlock(0x0104, kAnyPiece), LinkStatus::PortError);
    }));
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
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Hex("97 00"));
    EXPECT_EQ(writes[1].bytes, Hex("09 04 07 05 30 83 E9 00 B5 00"));
}

TEST_F(Blocks, RefusedClockRecordEndsTheExchangeWithoutFailure) {
    port.Then(Answer("5A")).Then(Answer("A5"));
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Refused);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_FALSE(FailureStands(*this));
}

TEST_F(Blocks, SilentClockRecordIsSentFiveTimesThenFails) {
    port.Then(Answer("5A"));
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_NEAR(Gap(writes, 5), 1.0, 0.002);
    EXPECT_TRUE(FailureStands(*this));

    LinkFixture silent;
    EXPECT_EQ(silent.comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Timeout);
    EXPECT_EQ(silent.port.Writes().size(), 5u);  // the header: M = 3
    EXPECT_TRUE(FailureStands(silent));
}

TEST_F(Blocks, CloseDuringTheClockRecordStopsWithoutFailure) {
    port.Then(Answer("5A"));
    pump.onPump = [this] {
        if (port.Writes().size() == 2) comm.Abort();
    };
    EXPECT_EQ(comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte), LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 2u);
    EXPECT_LT((clock.Now() - port.Writes().back().at).count(), 0.002);
    pump.onPump = nullptr;
    EXPECT_FALSE(FailureStands(*this));
}

// --- ReadMemory ---

TEST_F(Blocks, MemoryBlockIsTheReplyAfterItsAcknowledgement) {
    Bytes reply{0x5A};
    for (int i = 0; i < 128; ++i) reply.push_back(static_cast<std::uint8_t>(0x80 + i));
    port.Then(Reply{{Bytes(reply.begin(), reply.begin() + 50), Bytes(reply.begin() + 50, reply.end())},
                    Seconds(0.01), Seconds(0.01)});
    const MemoryBlock block = comm.ReadMemory(0x0100, 0x0100);
    EXPECT_EQ(block.status, LinkStatus::Ok);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Hex("B4 01 00 00"));
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), Bytes(reply.begin() + 1, reply.end()));
}

TEST_F(Blocks, SilentMemoryReadIsSentFiveTimesThenFails) {
    Bytes earlier(129, 0x99);
    earlier[0] = 0x5A;
    port.Then(Reply{{earlier}});
    ASSERT_EQ(comm.ReadMemory(0x0000, 0x0000).status, LinkStatus::Ok);
    // The earlier block is still in the link: it must not be taken for this one.
    EXPECT_EQ(comm.ReadMemory(0x0008, 0x0008).status, LinkStatus::Timeout);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_NEAR(Gap(writes, 5), 0.2, 0.002);
    EXPECT_EQ(port.Clears(), 6);
    EXPECT_TRUE(FailureStands(*this));
}

TEST_F(Blocks, OverLongMemoryReplyIsNotWrittenPastTheBuffers) {
    port.Then(Reply{{Bytes(400, 0x5A)}, Seconds(0.01), Seconds(0.001)});
    const MemoryBlock block = comm.ReadMemory(0x0008, 0x0008);
    EXPECT_EQ(block.status, LinkStatus::Ok);
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), Bytes(128, 0x5A));
}

TEST_F(Blocks, MemoryReadTrapsAFailingWriteAndStopsOnCloseLeftStanding) {
    EXPECT_TRUE(LeftAsCloseLeavesIt([](LinkFixture& f) {
        f.port.FailWrite(0);
        EXPECT_EQ(f.comm.ReadMemory(0x0008, 0x0008).status, LinkStatus::PortError);
    }));

    comm.Abort();
    port.Otherwise(Answer("5A", Seconds(0.5)));
    EXPECT_EQ(comm.ReadMemory(0x0008, 0x0008).status, LinkStatus::Aborted);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(pump.passes, 1);
    port.Otherwise(Silent());
    clock.Advance(Seconds(1));
    EXPECT_TRUE(FailureStands(*this));
}

}  // namespace
}  // namespace verno::link::test
