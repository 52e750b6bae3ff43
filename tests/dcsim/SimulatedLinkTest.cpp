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
    void FillCodeBlock(std::uint8_t fill, std::uint8_t blockByte) {
        comm.DataBuf.fill(fill);
        comm.DataBuf[128] = blockByte;
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
    EXPECT_EQ(l.comm.IdentityText, "DEMO-1B FW-1A DC");
    EXPECT_LT((l.clock.Now() - start).count(), 0.01);  // 20 bytes at 38400 baud
    EXPECT_EQ(l.comm.ReadRevision().revision, 3);
    l.comm.ReadMemory(0, 0);
    EXPECT_FALSE(l.comm.TransferFailed);
    EXPECT_TRUE(std::equal(l.comm.RxBuf.begin() + 1, l.comm.RxBuf.begin() + 129, l.dc.Memory().begin()));
}

TEST(DcThroughCommModule, ARefusedProfilePayloadIsTakenWhenResentWithoutItsHeader) {
    DcFaults faults;
    faults.refusePayloadOf = 0xB2;
    faults.refusePayloadCount = 1;
    Linked l({}, faults);
    for (std::uint8_t i = 0; i < 16; ++i) l.comm.DataBuf[i] = static_cast<std::uint8_t>(0x30 + i);
    l.comm.DataBuf[16] = static_cast<std::uint8_t>(0x30 * 16 + 120);  // the 8-bit sum
    EXPECT_EQ(l.comm.WriteProfileBlock(0x0104), link::LinkStatus::Ok);
    EXPECT_EQ(l.dc.Counters(0xB2).frames, 1);
    EXPECT_EQ(l.dc.Counters(0xB2).naks, 1);
    EXPECT_EQ(l.dc.Counters(0x84).frames, 0) << "a payload byte taken for a command";
    EXPECT_EQ(l.dc.ProtocolErrors(), 0);
    EXPECT_TRUE(std::equal(l.comm.DataBuf.begin(), l.comm.DataBuf.begin() + 16,
                           l.dc.Memory().begin() + 16 * (0x0104 + 256)));
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
        l.comm.ReadMemory(static_cast<std::uint16_t>(unit), static_cast<std::uint16_t>(unit));
        ASSERT_FALSE(l.comm.TransferFailed) << unit;
        EXPECT_TRUE(std::equal(l.comm.RxBuf.begin() + 1, l.comm.RxBuf.begin() + 129, m.begin() + 16 * unit))
            << "unit " << unit << " holds block " << int(l.comm.RxBuf[1]);
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
    EXPECT_NE(together.comm.EndConnection(), link::LinkStatus::Ok);
    EXPECT_TRUE(together.comm.TransferFailed);
}

TEST(DcThroughCommModule, AnUploadAcceptedRestartsTheDcWithTheNewVersion) {
    Linked l;
    l.FillCodeBlock(0x21, 0x40);
    l.comm.WriteCodeBlock(0, 0xB5);
    l.FillCodeBlock(0x22, 0x41);
    l.comm.WriteCodeBlock(8, 0xB5);
    l.comm.SendWordCommand(0xB6, 0x81);
    ASSERT_FALSE(l.comm.TransferFailed);
    EXPECT_EQ(l.dc.Memory()[256 * 16], 0x21);
    EXPECT_EQ(l.dc.Memory()[264 * 16], 0x22);
    // The program's 10 s wait outlasts the 8 s restart.
    l.clock.Advance(link::Seconds(10.0));
    ASSERT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.comm.IdentityText, "DEMO-1B FW-1B DC");
    EXPECT_EQ(l.dc.Counters(0x84).frames, 1);
}

TEST(DcThroughCommModule, ALostAckIsRecoveredByTheNextTry) {
    DcFaults f;
    f.loseAckOfCodeBlock = 1;
    Linked l({}, f);
    l.FillCodeBlock(0x5C, 0x00);
    l.comm.WriteCodeBlock(0x10, 0xB5);
    EXPECT_FALSE(l.comm.TransferFailed);
    EXPECT_EQ(l.dc.Counters(0xB5).frames, 2);
}

TEST(DcThroughCommModule, RefusedSpecialWritesFailTheBlockAfterFourTries) {
    DcFaults f;
    f.refuseSpecialWrites = true;
    Linked l({}, f);
    l.FillCodeBlock(0x01, 0x00);
    l.comm.WriteCodeBlock(3072, 0xB5);
    EXPECT_TRUE(l.comm.TransferFailed);
    EXPECT_EQ(l.dc.Counters(0xB5).naks, 4);
}

TEST(DcThroughCommModule, ProfilePiecesAndTheClockAreStored) {
    Linked l;
    for (std::size_t i = 0; i < 16; ++i) l.comm.DataBuf[i] = static_cast<std::uint8_t>(i);
    l.comm.DataBuf[16] = 120;  // 0 + 1 + ... + 15
    l.comm.WriteProfileBlock(4);
    EXPECT_FALSE(l.comm.TransferFailed);
    EXPECT_EQ(l.dc.Memory()[64 + 15], 15);
    l.comm.SetDateTime("07/04/09", "15:30:05", 233);
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
    l.FillCodeBlock(0x10, 0x70);
    l.comm.WriteCodeBlock(0, 0xB5);  // stored twice: once unacknowledged, once on the retry
    l.FillCodeBlock(0x11, 0x71);
    l.comm.WriteCodeBlock(8, 0xB5);
    l.comm.SendWordCommand(0xB6, 0x70 + 0x71);
    ASSERT_FALSE(l.comm.TransferFailed);
    l.clock.Advance(link::Seconds(10.0));
    ASSERT_EQ(l.comm.ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(l.comm.IdentityText, "DEMO-1B FW-1C DC");
}

TEST(DcThroughCommModule, PowerLossFailsTheBlockAndPowerOnBringsTheDcBack) {
    DcFaults f;
    f.powerLossAtBlock = 2;
    Linked l({}, f);
    l.FillCodeBlock(0x31, 0x00);
    l.comm.WriteCodeBlock(0, 0xB5);
    ASSERT_FALSE(l.comm.TransferFailed);
    l.FillCodeBlock(0x32, 0x00);
    l.comm.WriteCodeBlock(8, 0xB5);
    EXPECT_TRUE(l.comm.TransferFailed);
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
