#include <gtest/gtest.h>

#include "dcsim/SimulatedLink.h"
#include "tests/dcsim/DcWire.h"

namespace verno::dcsim::test {
namespace {

// The protocol against the simulated DC, all on virtual time.
struct Linked {
    explicit Linked(DcConfig config = {}, DcFaults faults = {}) : dc(std::move(config), faults) {
        link.Attach(comm);
    }
    // A code block of one fill byte and its check byte, written to the DC at that unit.
    link::LinkStatus WriteFilledBlock(std::uint16_t unit, std::uint8_t fill, std::uint8_t blockByte) {
        std::array<std::uint8_t, link::kBlockBytes + 1> block{};
        block.fill(fill);
        block[128] = blockByte;
        return comm.WriteCodeBlock(unit, 0xB5, block);
    }

    link::VirtualClock clock;
    SimulatedDc dc;
    SimulatedLink link{dc, clock};
    link::CommModule comm{link, clock, link};
};

TEST(DcThroughCommModule, IdentityRevisionAndMemoryReadsArrive) {
    DcConfig cfg;
    cfg.revision = 3;
    Linked l(cfg);
    const link::Seconds start = l.clock.Now();
    ASSERT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.comm.Identity(), "DEMO-1B FW-1A DC");
    EXPECT_LT((l.clock.Now() - start).count(), 0.01);  // 20 bytes at 38400 baud
    EXPECT_EQ(l.comm.ReadRevision().revision, 3);
    const link::MemoryBlock block = l.comm.ReadMemory(0, 0);
    EXPECT_EQ(block.status, link::LinkStatus::Ok);
    EXPECT_TRUE(std::equal(block.bytes.begin(), block.bytes.end(), l.dc.Memory().begin()));
}

TEST(DcThroughCommModule, ARefusedProfilePayloadIsTakenWhenResentWithoutItsHeader) {
    DcFaults faults;
    faults.refusePayloadOf = 0xB2;
    faults.refusePayloadCount = 1;
    Linked l({}, faults);
    std::array<std::uint8_t, 17> piece{};
    for (std::uint8_t i = 0; i < 16; ++i) piece[i] = static_cast<std::uint8_t>(0x30 + i);
    piece[16] = static_cast<std::uint8_t>(0x30 * 16 + 120);  // the 8-bit sum
    EXPECT_EQ(l.comm.WriteProfileBlock(0x0104, piece), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Counters(0xB2).frames, 1);
    EXPECT_EQ(l.dc.Counters(0xB2).naks, 1);
    EXPECT_EQ(l.dc.Counters(0x84).frames, 0) << "a payload byte taken for a command";
    EXPECT_EQ(l.dc.ProtocolErrors(), 0);
    EXPECT_TRUE(std::equal(piece.begin(), piece.begin() + 16, l.dc.Memory().begin() + 16 * (0x0104 + 256)));
}

TEST(DcThroughCommModule, ASlowDcsSurplusAnswerIsNotTakenForTheNextBlock) {
    // 0.25 s before each reply: past the read's 0.2 s timeout, so every read is resent once
    // and the DC answers both requests.
    DcFaults faults;
    faults.replyLatency = 0.25;
    Linked l({}, faults);
    for (std::size_t i = 0; i < l.dc.Memory().size(); ++i) l.dc.MutableMemory()[i] = static_cast<std::uint8_t>(i / 128);
    const auto& m = l.dc.Memory();
    for (const int unit : {256, 264, 272, 280}) {
        const link::MemoryBlock block =
            l.comm.ReadMemory(static_cast<std::uint16_t>(unit), static_cast<std::uint16_t>(unit));
        ASSERT_EQ(block.status, link::LinkStatus::Ok) << unit;
        EXPECT_TRUE(std::equal(block.bytes.begin(), block.bytes.end(), m.begin() + 16 * unit))
            << "unit " << unit << " holds block " << int(block.bytes[0]);
    }
    EXPECT_GE(l.dc.Counters(0xB4).frames, 8);  // the resends did happen
}

TEST(DcThroughCommModule, ByteAtATimeDeliveryStillGivesTheRevision) {
    DcConfig cfg;
    cfg.revision = 9;
    DcFaults f;
    f.byteAtATime = true;
    Linked l(cfg, f);
    EXPECT_EQ(l.comm.ReadRevision().revision, 9);
    EXPECT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
}

TEST(DcThroughCommModule, ByteAtATimeDeliversEveryByteAsItsOwnChunk) {
    // The end-connection reply is stored from index 0 of every chunk: a noise byte followed by
    // the acknowledgement in a later chunk completes it, the two in one chunk do not. Without
    // pacing the whole reply falls due at once.
    DcConfig cfg;
    cfg.bytePacing = false;
    DcFaults f;
    f.garbageBeforeReply = 1;
    f.byteAtATime = true;
    Linked apart(cfg, f);
    EXPECT_EQ(apart.comm.EndConnection(), link::LinkStatus::Ok);
    EXPECT_EQ(apart.dc.Counters(0xA8).frames, 1);

    f.byteAtATime = false;
    Linked together(cfg, f);
    EXPECT_EQ(together.comm.EndConnection(), link::LinkStatus::Timeout);
}

TEST(DcThroughCommModule, AnUploadAcceptedRestartsTheDcWithTheNewVersion) {
    Linked l;
    ASSERT_EQ(l.WriteFilledBlock(0, 0x21, 0x40), link::LinkStatus::Ok);
    ASSERT_EQ(l.WriteFilledBlock(8, 0x22, 0x41), link::LinkStatus::Ok);
    ASSERT_EQ(l.comm.SendWordCommand(0xB6, 0x81), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Memory()[256 * 16], 0x21);
    EXPECT_EQ(l.dc.Memory()[264 * 16], 0x22);
    // The program's 10 s wait outlasts the 8 s restart.
    l.clock.Advance(link::Seconds(10.0));
    ASSERT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.comm.Identity(), "DEMO-1B FW-1B DC");
    EXPECT_EQ(l.dc.Counters(0x84).frames, 1);
}

TEST(DcThroughCommModule, ALostAckIsRecoveredByTheNextTry) {
    DcFaults f;
    f.loseAckOfCodeBlock = 1;
    Linked l({}, f);
    EXPECT_EQ(l.WriteFilledBlock(0x10, 0x5C, 0x00), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Counters(0xB5).frames, 2);
}

TEST(DcThroughCommModule, RefusedSpecialWritesFailTheBlockAfterFourTries) {
    DcFaults f;
    f.refuseSpecialWrites = true;
    Linked l({}, f);
    EXPECT_EQ(l.WriteFilledBlock(3072, 0x01, 0x00), link::LinkStatus::Refused);
    EXPECT_EQ(l.dc.Counters(0xB5).naks, 4);
}

TEST(DcThroughCommModule, ProfilePiecesAndTheClockAreStored) {
    Linked l;
    std::array<std::uint8_t, 17> piece{};
    for (std::size_t i = 0; i < 16; ++i) piece[i] = static_cast<std::uint8_t>(i);
    piece[16] = 120;  // 0 + 1 + ... + 15
    EXPECT_EQ(l.comm.WriteProfileBlock(4, piece), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Memory()[64 + 15], 15);
    EXPECT_EQ(l.comm.SetDateTime("07/04/09", "15:30:05", 233), link::LinkStatus::Ok);
    ASSERT_TRUE(l.dc.ClockRecord().has_value());
    EXPECT_EQ((*l.dc.ClockRecord())[5], 0x83);
    EXPECT_EQ(l.comm.EndConnection(), link::LinkStatus::Ok);
}

TEST(DcThroughCommModule, ASilentDcCostsVirtualTimeOnly) {
    DcFaults f;
    f.silent = true;
    Linked l({}, f);
    const link::Seconds start = l.clock.Now();
    EXPECT_NE(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_NEAR((l.clock.Now() - start).count(), 22.0, 0.01);
    // The last frame is still on the wire when the command gives up.
    l.clock.Advance(link::Seconds(0.01));
    (void)l.dc.TakeDue(l.clock.Now());
    EXPECT_EQ(l.dc.Counters(0x84).frames, 12);
}

TEST(DcThroughCommModule, ABlockResentAfterALostAckCountsOnceInTheClosingSum) {
    DcConfig cfg;
    cfg.versionAfterUpdate = "1C";
    DcFaults f;
    f.loseAckOfCodeBlock = 1;
    Linked l(cfg, f);
    // Stored twice: once unacknowledged, once on the retry.
    ASSERT_EQ(l.WriteFilledBlock(0, 0x10, 0x70), link::LinkStatus::Ok);
    ASSERT_EQ(l.WriteFilledBlock(8, 0x11, 0x71), link::LinkStatus::Ok);
    ASSERT_EQ(l.comm.SendWordCommand(0xB6, 0x70 + 0x71), link::LinkStatus::Ok);
    l.clock.Advance(link::Seconds(10.0));
    ASSERT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.comm.Identity(), "DEMO-1B FW-1C DC");
}

TEST(DcThroughCommModule, PowerLossFailsTheBlockAndPowerOnBringsTheDcBack) {
    DcFaults f;
    f.powerLossAtBlock = 2;
    Linked l({}, f);
    ASSERT_EQ(l.WriteFilledBlock(0, 0x31, 0x00), link::LinkStatus::Ok);
    EXPECT_EQ(l.WriteFilledBlock(8, 0x32, 0x00), link::LinkStatus::Timeout);
    EXPECT_NE(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    l.dc.PowerOn();
    EXPECT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Memory()[256 * 16], 0x31);
    EXPECT_NE(l.dc.Memory()[264 * 16], 0x32);
}

TEST(DcThroughCommModule, ClearDropsOnlyTheReplyBytesThatHaveArrivedAndTheTraceHasBothSides) {
    Linked l;
    const std::uint8_t frame[] = {0x84, 0x00};
    l.link.Write(frame);
    for (int i = 0; i < 3; ++i) l.link.RunPending();  // part of the reply is on its way
    const std::size_t received = l.link.DeliveredBytes();
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, 18u);
    // Some bytes reach the PC's driver, then the port is cleared: those are gone, while the
    // bytes the DC has not sent yet still come, as they do on a real cable.
    l.clock.Advance(link::Seconds{4 * 10.0 / 38400});
    l.link.Clear();
    for (int i = 0; i < 20; ++i) l.link.RunPending();
    EXPECT_GT(l.link.DeliveredBytes(), received);
    EXPECT_LT(l.link.DeliveredBytes(), 18u);
    ASSERT_GE(l.dc.Trace().size(), 2u);
    EXPECT_TRUE(l.dc.Trace().front().fromPc);
    EXPECT_EQ(l.dc.Trace().front().bytes, Hex("84 00"));
    EXPECT_FALSE(l.dc.Trace()[1].fromPc);
    EXPECT_GT(l.dc.Trace()[1].time, l.dc.Trace().front().time);
}

}  // namespace
}  // namespace verno::dcsim::test
