#include <gtest/gtest.h>

#include <numeric>

#include "tests/dcsim/DcWire.h"

namespace verno::dcsim::test {
namespace {

std::string IdentityOf(const Bytes& reply) {
    return reply.size() < 17 ? std::string() : std::string(reply.begin() + 1, reply.begin() + 17);
}

// --- replies and their lengths ---

TEST(DcReplies, EachCommandGetsItsReplyOfTheRightLength) {
    DcConfig cfg;
    cfg.revision = 7;
    DcWire wire(cfg);
    const Bytes identity = wire.Send("84 00");
    ASSERT_EQ(identity.size(), 18u);
    EXPECT_NE(identity[0], 0xA5);
    EXPECT_EQ(IdentityOf(identity), "DEMO-1B FW-1A DC");

    EXPECT_EQ(wire.Send("BA 00"), Hex("5A 07"));

    const Bytes block = wire.Send("B4 00 08 00");
    ASSERT_EQ(block.size(), 129u);
    EXPECT_EQ(block[0], 0x5A);
    EXPECT_TRUE(std::equal(block.begin() + 1, block.end(), wire.dc.Memory().begin() + 128));

    EXPECT_EQ(wire.Send("B5 00 10 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(CodePayload(0x11, 0x01)), Hex("5A"));
    EXPECT_EQ(wire.Send("B7 00 00 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(CodePayload(0x22, 0x02)), Hex("5A"));
    EXPECT_EQ(wire.Send("B2 01 40 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(PiecePayload(0x03)), Hex("5A"));
    EXPECT_EQ(wire.Send("97 00"), Hex("5A"));
    EXPECT_EQ(wire.Send("09 04 07 05 30 83 E9 00 B5 00"), Hex("5A"));
    EXPECT_EQ(wire.Send("B6 12 34 00"), Hex("5A"));
    EXPECT_EQ(wire.Send("B8 01 02 00"), Hex("5A"));
    EXPECT_EQ(wire.Send("B9 03 04 00"), Hex("5A"));
    EXPECT_EQ(wire.Send("A8 55 00"), Hex("5A"));

    ASSERT_TRUE(wire.dc.ClockRecord().has_value());
    EXPECT_EQ(Bytes(wire.dc.ClockRecord()->begin(), wire.dc.ClockRecord()->end()),
              Hex("09 04 07 05 30 83 E9 00 B5"));
    
    EXPECT_EQ(wire.dc.Counters(0x84).frames, 1);
    EXPECT_EQ(wire.dc.Counters(0xB5).frames, 1);
    EXPECT_EQ(wire.dc.ProtocolErrors(), 0);
}

TEST(DcReplies, FramesWithoutTheirTrailingZeroAreProtocolErrorsAndNoiseIsIgnored) {
    DcWire wire;
    EXPECT_TRUE(wire.Send("84 BA 00").size() == 2u);  // 84 lacks its 00; BA 00 is still read
    EXPECT_EQ(wire.dc.ProtocolErrors(), 1);
    EXPECT_EQ(wire.dc.Counters(0x84).frames, 0);
    EXPECT_TRUE(wire.Send("00 13 FF 42 00").empty());
    EXPECT_EQ(wire.Send("84 00").size(), 18u);
}

TEST(DcReplies, RepliesArePacedAtTheWireRate) {
    DcWire wire;
    wire.dc.Write(wire.t, Hex("84 00"));
    // Two bytes in, eighteen out: the last reply byte is due 20 byte times after the write.
    EXPECT_EQ(wire.dc.TakeDue(wire.t + kByteTime * 19.5).size(), 17u);
    EXPECT_EQ(wire.dc.TakeDue(wire.t + kByteTime * 20.0).size(), 1u);
}

TEST(DcReplies, AHeaderResentAfterTheWindowIsTakenAsANewHeader) {
    DcWire wire;
    EXPECT_EQ(wire.Send("B5 00 10 00", 0.2), Hex("5A"));
    // A payload this late is not one: its bytes are read as commands (and ignored).
    EXPECT_EQ(wire.Send("B5 00 10 00"), Hex("5A"));
    EXPECT_EQ(wire.dc.Counters(0xB5).frames, 2);
    EXPECT_EQ(wire.Send(CodePayload(0x44, 0)), Hex("5A"));
    EXPECT_EQ(wire.dc.Memory()[(0x10 + 256) * 16], 0x44);
}

// --- memory model ---

TEST(DcMemory, WritesLandWhereTheModelPutsThem) {
    DcWire wire;
    const Bytes before = wire.dc.Memory();
    wire.Send("B5 00 20 00");
    wire.Send(CodePayload(0xAB, 0));
    EXPECT_EQ(wire.dc.Memory()[(0x20 + 256) * 16], 0xAB);
    EXPECT_EQ(wire.dc.Memory()[(0x20 + 256) * 16 + 127], 0xAB);
    EXPECT_EQ(wire.dc.Memory()[0x20 * 16], before[0x20 * 16]);

    wire.Send("B2 00 04 00");  // the profile header, unit 4
    wire.Send(PiecePayload(0x05));
    EXPECT_EQ(wire.dc.Memory()[64], 0x05);
    EXPECT_EQ(wire.dc.Memory()[79], 0x05);
    EXPECT_EQ(wire.dc.Memory()[80], before[80]);

    wire.Send("B2 01 00 00");  // unit 256: above the header area, shifted like 0xB5
    wire.Send(PiecePayload(0x06));
    EXPECT_EQ(wire.dc.Memory()[(256 + 256) * 16], 0x06);
    EXPECT_EQ(wire.dc.Memory()[256 * 16], before[256 * 16]);

    wire.Send("B7 00 08 00");
    wire.Send(CodePayload(0x77, 0));
    EXPECT_EQ(wire.dc.CodeStore()[8 * 16], 0x77);
    EXPECT_EQ(wire.dc.Memory()[(8 + 256) * 16], before[(8 + 256) * 16]);
}

TEST(DcMemory, APieceWithAWrongSumIsRefusedAndNotStored) {
    DcWire wire;
    const Bytes before = wire.dc.Memory();
    wire.Send("B2 00 04 00");
    EXPECT_EQ(wire.Send(PiecePayload(0x09, false)), Hex("A5"));
    EXPECT_EQ(wire.dc.Memory(), before);
    EXPECT_EQ(wire.dc.Counters(0xB2).naks, 1);
}

TEST(DcMemory, ReadsBeyondTheMemoryGiveFF) {
    DcWire wire;
    const Bytes reply = wire.Send("B4 0F FC 00");  // 512 blocks end at unit 4096; this straddles it
    ASSERT_EQ(reply.size(), 129u);
    EXPECT_TRUE(std::equal(reply.begin() + 1, reply.begin() + 65, wire.dc.Memory().end() - 64));
    EXPECT_TRUE(std::all_of(reply.begin() + 65, reply.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(DcMemory, SerialAndPointersAreEncodedForTheMemorySize) {
    for (const int blocks : {512, 1024}) {
        DcConfig cfg;
        cfg.memoryBlocks = blocks;
        cfg.serial = 56;
        cfg.profileStart = 0x0123;
        cfg.profileEnd = 0x0FFF;
        const SimulatedDc dc(cfg);
        ASSERT_EQ(dc.Memory().size(), static_cast<std::size_t>(blocks) * 128);
        EXPECT_EQ(Bytes(dc.Memory().begin() + 10, dc.Memory().begin() + 13), Hex("00 00 56"));
        const Bytes pointers(dc.Memory().begin() + 72, dc.Memory().begin() + 76);
        EXPECT_EQ(pointers, blocks == 1024 ? Hex("23 01 FF 0F") : Hex("30 12 F0 FF")) << blocks;
    }
    DcConfig cfg;
    cfg.serial = 987654;
    const SimulatedDc dc(cfg);
    EXPECT_EQ(Bytes(dc.Memory().begin() + 10, dc.Memory().begin() + 13), Hex("98 76 54"));
}

TEST(DcMemory, A1024BlockDcReadsAndWritesItsUpperHalf) {
    DcConfig cfg;
    cfg.memoryBlocks = 1024;
    DcWire wire(cfg);
    wire.Send("B5 0F 00 00");  // unit 3840 + 256 = 4096, the first block beyond 64 KB
    wire.Send(CodePayload(0x66, 0));
    const Bytes reply = wire.Send("B4 10 00 00");
    ASSERT_EQ(reply.size(), 129u);
    EXPECT_EQ(reply[1], 0x66);
    wire.Send("B5 1E F8 00");  // the last block, unit 8184
    wire.Send(CodePayload(0x67, 0));
    EXPECT_EQ(wire.Send("B4 1F F8 00").back(), 0x67);
    EXPECT_EQ(wire.Send("B4 20 00 00").back(), 0xFF);                     // beyond 128 KB
}

TEST(DcMemory, TheDefaultProfileIsDeterministicBySeed) {
    DcConfig a;
    DcConfig b;
    b.seed = 2;
    EXPECT_EQ(SimulatedDc(a).Memory(), SimulatedDc(a).Memory());
    EXPECT_NE(SimulatedDc(a).Memory(), SimulatedDc(b).Memory());
}

// --- restart after an upload ---

void UploadArea1(DcWire& wire, std::uint16_t closingSum) {
    wire.Send("B5 00 00 00");
    wire.Send(CodePayload(0x01, 0x80));
    wire.Send("B5 00 08 00");
    wire.Send(CodePayload(0x02, 0x90));
    Bytes close = Hex("B6");
    close.push_back(static_cast<std::uint8_t>(closingSum >> 8));
    close.push_back(static_cast<std::uint8_t>(closingSum & 0xFF));
    close.push_back(0x00);
    EXPECT_EQ(wire.Send(close), Hex("5A"));
}

DcConfig Updating() {
    DcConfig cfg;
    cfg.versionAfterUpdate = "1B";
    cfg.revisionAfterUpdate = 2;
    return cfg;
}

TEST(DcRestart, AMatchingArea1SumRestartsTheDcWithTheNewVersion) {
    DcWire wire(Updating());
    UploadArea1(wire, 0x0110);
    EXPECT_TRUE(wire.dc.Restarting(wire.t));
    EXPECT_TRUE(wire.Send("84 00", 7.0).empty());
    wire.Wait(1.5);
    const Bytes identity = wire.Send("84 00");
    EXPECT_EQ(IdentityOf(identity), "DEMO-1B FW-1B DC");
    EXPECT_EQ(wire.Send("BA 00"), Hex("5A 02"));
    EXPECT_EQ(wire.dc.Restarts(), 1);
}

TEST(DcRestart, AWrongSumIsAcknowledgedWithoutRestart) {
    DcWire wire;
    UploadArea1(wire, 0x0111);
    EXPECT_FALSE(wire.dc.Restarting(wire.t));
    EXPECT_EQ(IdentityOf(wire.Send("84 00")), "DEMO-1B FW-1A DC");
    EXPECT_EQ(wire.dc.Restarts(), 0);
}

TEST(DcRestart, Area2NeedsItsWordAndItsSum) {
    DcWire wire(Updating());
    wire.Send("B7 00 00 00");
    wire.Send(CodePayload(0x01, 0x33));
    wire.Send("B8 01 02 00");
    wire.Send("B9 00 33 00");
    EXPECT_TRUE(wire.dc.Restarting(wire.t));
    wire.Wait(9.0);
    EXPECT_EQ(wire.Send("BA 00"), Hex("5A 02"));

    DcWire noWord;
    noWord.Send("B7 00 00 00");
    noWord.Send(CodePayload(0x01, 0x33));
    noWord.Send("B9 00 33 00");
    EXPECT_FALSE(noWord.dc.Restarting(noWord.t));
}

TEST(DcRestart, AnExplicitIdentityStaysAfterTheUpdate) {
    DcConfig cfg;
    cfg.identity = "OTHER1 X-9 ABCDE";
    DcWire wire(cfg);
    UploadArea1(wire, 0x0110);
    wire.Wait(9.0);
    EXPECT_EQ(IdentityOf(wire.Send("84 00")), "OTHER1 X-9 ABCDE");
    EXPECT_EQ(wire.dc.Version(), "1B");
}

TEST(DcRestart, ABlockWrittenTwiceCountsOnceInTheSum) {
    DcWire wire;
    wire.Send("B5 00 00 00");
    wire.Send(CodePayload(0x01, 0x80));
    wire.Send("B5 00 00 00");
    wire.Send(CodePayload(0x01, 0x80));
    EXPECT_EQ(wire.dc.PendingArea1Sum(), 0x80);
    wire.Send("A8 55 00");  // a new connection starts a new upload
    EXPECT_EQ(wire.dc.PendingArea1Sum(), 0);
}

TEST(DcFaultNames, EachNameSetsItsSwitchAndBadArgumentsAreRefused) {
    DcFaults f;
    EXPECT_TRUE(ApplyFault("silent", f));
    EXPECT_TRUE(ApplyFault("byte-at-a-time", f));
    EXPECT_TRUE(ApplyFault("refuse-special-writes", f));
    EXPECT_TRUE(ApplyFault("refuse=B5:3", f));
    EXPECT_TRUE(ApplyFault("lose-ack=4", f));
    EXPECT_TRUE(ApplyFault("power-loss=7", f));
    EXPECT_TRUE(ApplyFault("latency=0.25", f));
    EXPECT_TRUE(ApplyFault("garbage=2", f));
    EXPECT_TRUE(ApplyFault("refuse-write=40", f));
    EXPECT_TRUE(ApplyFault("unanswered=B4@304", f));
    EXPECT_TRUE(ApplyFault("corrupt-header", f));
    EXPECT_FALSE(ApplyFault("unanswered=B4@x", f));
    EXPECT_TRUE(f.silent && f.byteAtATime && f.refuseSpecialWrites && f.corruptHeaderWrite);
    EXPECT_EQ(f.refuseWriteAt, std::optional<std::uint16_t>(40));
    EXPECT_EQ(f.unansweredCommand, std::optional<std::uint8_t>(0xB4));
    EXPECT_EQ(f.unansweredUnit, std::optional<std::uint16_t>(304));
    EXPECT_EQ(f.refuseCommand, std::optional<std::uint8_t>(0xB5));
    EXPECT_EQ(f.refuseCount, 3);
    EXPECT_EQ(f.loseAckOfCodeBlock, 4);
    EXPECT_EQ(f.powerLossAtBlock, 7);
    EXPECT_DOUBLE_EQ(f.replyLatency, 0.25);
    EXPECT_EQ(f.garbageBeforeReply, 2);
    EXPECT_TRUE(ApplyFault("long-restart", f));
    EXPECT_EQ(f.restartSeconds, std::optional<double>(60.0));
    EXPECT_TRUE(ApplyFault("long-restart=90", f));
    EXPECT_EQ(f.restartSeconds, std::optional<double>(90.0));
    EXPECT_TRUE(ApplyFault("arm=B5:49", f));
    ASSERT_TRUE(f.armAt.has_value());
    EXPECT_EQ(f.armAt->command, 0xB5);
    EXPECT_EQ(f.armAt->frame, 49);

    DcFaults untouched;
    for (const char* bad : {"", "loud", "refuse", "refuse=1FF", "refuse=B5:x", "lose-ack=", "lose-ack=-1",
                            "latency=-1", "power-loss=two", "silent=1", "arm=B5", "arm=B5:0", "arm=XYZ:2"}) {
        EXPECT_FALSE(ApplyFault(bad, untouched)) << bad;
    }
}

// --- fault switches ---

TEST(DcFaults, SilentNeverAnswersButCountsFrames) {
    DcFaults f;
    f.silent = true;
    DcWire wire({}, f);
    EXPECT_TRUE(wire.Send("84 00").empty());
    EXPECT_TRUE(wire.Send("B4 00 00 00").empty());
    EXPECT_EQ(wire.dc.Counters(0x84).frames, 1);
}

TEST(DcFaults, RefusesTheFirstFramesOfTheChosenCommand) {
    DcFaults f;
    f.refuseCommand = 0x84;
    f.refuseCount = 2;
    DcWire wire({}, f);
    EXPECT_EQ(wire.Send("BA 00").size(), 2u);
    EXPECT_EQ(wire.Send("84 00"), Hex("A5"));
    EXPECT_EQ(wire.Send("84 00"), Hex("A5"));
    EXPECT_EQ(wire.Send("84 00").size(), 18u);
    EXPECT_EQ(wire.dc.Counters(0x84).naks, 2);
    EXPECT_EQ(wire.dc.Counters(0x84).frames, 3);
}

TEST(DcFaults, LosesOnlyTheAckOfTheChosenCodeBlock) {
    DcFaults f;
    f.loseAckOfCodeBlock = 2;
    DcWire wire({}, f);
    wire.Send("B5 00 00 00");
    EXPECT_EQ(wire.Send(CodePayload(0x01, 0)), Hex("5A"));
    wire.Send("B5 00 08 00");
    EXPECT_TRUE(wire.Send(CodePayload(0x02, 0)).empty());
    EXPECT_EQ(wire.dc.Memory()[(8 + 256) * 16], 0x02);  // stored all the same
    wire.Send("B5 00 08 00");
    EXPECT_EQ(wire.Send(CodePayload(0x02, 0)), Hex("5A"));
}

TEST(DcFaults, PowerLossAtABlockMakesTheDcDeafUntilPowerOn) {
    DcFaults f;
    f.powerLossAtBlock = 2;
    DcWire wire({}, f);
    wire.Send("B5 00 00 00");
    EXPECT_EQ(wire.Send(CodePayload(0x01, 0)), Hex("5A"));
    EXPECT_TRUE(wire.Send("B5 00 08 00").empty());
    EXPECT_TRUE(wire.Send(CodePayload(0x02, 0)).empty());
    EXPECT_TRUE(wire.Send("84 00").empty());
    EXPECT_TRUE(wire.dc.PoweredOff());
    EXPECT_NE(wire.dc.Memory()[(8 + 256) * 16], 0x02);
    wire.dc.PowerOn();
    EXPECT_EQ(wire.Send("84 00").size(), 18u);
    EXPECT_EQ(wire.Send("B5 00 08 00"), Hex("5A"));
}

TEST(DcFaults, LatencyDelaysTheFirstReplyByte) {
    DcFaults f;
    f.replyLatency = 0.5;
    DcWire wire({}, f);
    EXPECT_TRUE(wire.Send("BA 00", 0.45).empty());
    wire.t += Seconds(0.1);
    EXPECT_EQ(wire.dc.TakeDue(wire.t).size(), 2u);
}

TEST(DcFaults, GarbageComesAheadOfEveryReply) {
    DcFaults f;
    f.garbageBeforeReply = 3;
    DcWire wire({}, f);
    const Bytes reply = wire.Send("BA 00");
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_NE(reply[0], 0x5A);
    EXPECT_EQ(Bytes(reply.end() - 2, reply.end()), Hex("5A 00"));
}

TEST(DcFaults, RefusesTheTwoSpecial128ByteWritesOnly) {
    DcFaults f;
    f.refuseSpecialWrites = true;
    DcWire wire({}, f);
    for (const char* header : {"B5 0C 00 00", "B5 0C 08 00"}) {  // units 3072 and 3080
        EXPECT_EQ(wire.Send(header), Hex("5A"));
        EXPECT_EQ(wire.Send(CodePayload(0x0E, 0)), Hex("A5"));
    }
    EXPECT_EQ(wire.Send("B5 0C 10 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(CodePayload(0x0E, 0)), Hex("5A"));
    // The same data as 16-byte pieces is taken.
    EXPECT_EQ(wire.Send("B2 0C 00 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(PiecePayload(0x0E)), Hex("5A"));
    EXPECT_EQ(wire.dc.Memory()[(3072 + 256) * 16], 0x0E);
    EXPECT_EQ(wire.dc.Counters(0xB5).naks, 2);
}

TEST(DcFaults, ArmedSwitchesActOnlyFromTheArmingFrameOn) {
    DcFaults f;
    f.silent = true;
    f.armAt = FaultArming{0x84, 2};
    DcWire wire({}, f);
    EXPECT_EQ(wire.Send("84 00").size(), 18u);
    EXPECT_EQ(wire.Send("B4 00 00 00").size(), 129u);
    EXPECT_EQ(wire.Send("B5 00 00 00"), Hex("5A"));
    EXPECT_EQ(wire.Send(CodePayload(0x01, 0)), Hex("5A"));
    EXPECT_TRUE(wire.Send("84 00").empty()) << "the arming frame itself gets the fault";
    EXPECT_TRUE(wire.Send("BA 00").empty());
}

TEST(DcFaults, ArmedBlockCountsStartAtTheArmingFrame) {
    DcFaults f;
    f.loseAckOfCodeBlock = 1;
    f.armAt = FaultArming{0xB5, 2};
    DcWire wire({}, f);
    wire.Send("B5 00 00 00");
    EXPECT_EQ(wire.Send(CodePayload(0x01, 0)), Hex("5A"));
    wire.Send("B5 00 08 00");
    EXPECT_TRUE(wire.Send(CodePayload(0x02, 0)).empty());

    DcFaults p;
    p.powerLossAtBlock = 1;
    p.armAt = FaultArming{0xB2, 1};
    DcWire power({}, p);
    power.Send("B5 00 00 00");
    EXPECT_EQ(power.Send(CodePayload(0x01, 0)), Hex("5A"));
    EXPECT_TRUE(power.Send("B2 00 04 00").empty());
    EXPECT_TRUE(power.dc.PoweredOff());
}

TEST(DcFaults, ALongRestartOutlastsTheProgramsWait) {
    DcFaults f;
    f.restartSeconds = 60.0;
    DcWire wire({}, f);
    UploadArea1(wire, 0x0110);
    wire.Wait(45.0);
    EXPECT_TRUE(wire.Send("84 00").empty());
    wire.Wait(16.0);
    EXPECT_EQ(IdentityOf(wire.Send("84 00")), "DEMO-1B FW-1B DC");
}

}  // namespace
}  // namespace verno::dcsim::test
