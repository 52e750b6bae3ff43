// The harness the fuzzers run: its input layout and the accounts its targets give, on inputs
// whose outcome the protocol and the file formats settle.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "firmware/FirmwarePacker.h"
#include "fuzz/KeptInput.h"
#include "fuzz/ReceiveScript.h"
#include "fuzz/Targets.h"
#include "profile/BackupFile.h"
#include "tests/support/ProfileImages.h"

namespace verno::fuzz {
namespace {

using script::StepKind;
using script::Writer;
using Bytes = std::vector<std::uint8_t>;

const Bytes kIdentityReply = {0x5A, 'V', 'E', 'R', 'N', 'O', '1', 'B', ' ', 'F', 'W', '-', '1', 'A', ' ', 'D', 'C', 0x00};

Bytes MemoryReply() {
    Bytes reply(129, 0x33);
    reply[0] = 0x5A;
    return reply;
}

std::string Receive(Writer& w) { return ReceiveDataTarget(w.Bytes()); }

TEST(ReceiveScript, LongChunkGoesAsJoinedPiecesOfOnePass) {
    const Bytes reply = MemoryReply();
    const Bytes bytes = Writer(script::kBuffersSized, 0).Step(StepKind::ReadMemory, 0x0100).Chunk(reply).Bytes();
    // setup, failing write, kind, address, length, then 128 bytes, a join and the last byte
    ASSERT_EQ(bytes.size(), 2u + 4u + 1u + 128u + 1u + 1u + 1u);
    EXPECT_EQ(bytes[2], static_cast<std::uint8_t>(StepKind::ReadMemory));
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[5], script::kRestOfInput);
    EXPECT_EQ(bytes[6], script::kLongChunk + 15);
    EXPECT_EQ(bytes[6 + 1 + 128], script::kJoin);
    EXPECT_EQ(bytes[6 + 1 + 128 + 1], script::kShortChunk);
}

TEST(ReceiveScript, StepLongerThanItsLengthByteIsReportedUnlessLast) {
    Writer w(0, 0);
    w.Step(StepKind::Idle, 0).Chunk(Bytes(300, 1));
    w.Step(StepKind::Idle, 0);
    EXPECT_FALSE(w.Fits());
    Writer last(0, 0);
    last.Step(StepKind::Idle, 0).Chunk(Bytes(300, 1));
    EXPECT_TRUE(last.Fits());
}

TEST(ReceiveDataTarget, AnsweredCommandsCompleteWithOneFrameEach) {
    Writer w(script::kBuffers512, 0);
    w.Step(StepKind::ReadIdentity, 0).Chunk(kIdentityReply);
    w.Step(StepKind::ReadRevision, 0).Chunk({0x5A, 0x07});
    w.Step(StepKind::ReadMemory, 0).Chunk(MemoryReply());
    w.Step(StepKind::CloseArea1, 0x1234).Chunk({0x5A});
    w.Step(StepKind::EndConnection, 0).Chunk({0x5A});
    EXPECT_EQ(Receive(w), "receive identity/1 revision=7/1 memory/1 close1/1 ended/1");
}

TEST(ReceiveDataTarget, SilentDcGetsEveryResendItsCommandAllows) {
    Writer identity(0, 0);
    identity.Step(StepKind::ReadIdentity, 0);
    EXPECT_EQ(Receive(identity), "receive no-identity/12");
    Writer end(0, 0);
    end.Step(StepKind::EndConnection, 0);
    EXPECT_EQ(Receive(end), "receive not-ended!/5");
    // One try only: a header that is never acknowledged ends the block at once.
    Writer block(0, 0);
    block.Step(StepKind::WriteArea1Block, 0x0123);
    EXPECT_EQ(Receive(block), "receive block1!/22");
    Writer clock(0, 0);
    clock.Step(StepKind::SetDateTime, 0);
    EXPECT_EQ(Receive(clock), "receive clock!/5");
}

TEST(ReceiveDataTarget, RefusedCodePayloadRepeatsHeaderAndPayload) {
    Writer w(0, 0);
    w.Step(StepKind::WriteArea1Block, 0x0C00).Chunk({0x5A}).Chunk({0xA5}).Chunk({0x5A}).Chunk({0x5A});
    EXPECT_EQ(Receive(w), "receive block1/4");
}

TEST(ReceiveDataTarget, ReplyCutByCloseFailsTheReadAndLateBytesFallIntoIndexZero) {
    const Bytes reply = MemoryReply();
    Writer w(script::kBuffers1024, 0);
    w.Step(StepKind::ReadMemory, 0).Chunk(std::span(reply).first(40)).Close().Chunk(std::span(reply).subspan(40));
    EXPECT_EQ(Receive(w), "receive memory!/1");
}

TEST(ReceiveDataTarget, BytesAfterACompleteReplyChangeNothing) {
    Writer w(0, 0);
    w.Step(StepKind::ReadRevision, 0).Chunk({0x5A, 0x07}).Chunk({0x5A, 0x09});
    w.Step(StepKind::Idle, 0).Chunk({0xA5, 0x5A});
    EXPECT_EQ(Receive(w), "receive revision=7/1 idle");
}

TEST(ReceiveDataTarget, FailingWriteAndStandingFailureEndTheBlock) {
    Writer failing(0, 2);  // the payload's write
    failing.Step(StepKind::WriteArea1Block, 0x0010).Chunk({0x5A});
    EXPECT_EQ(Receive(failing), "receive block1!/2");
    Writer standing(0, script::kFailureStandsBit);  // the header goes out, the payload does not
    standing.Step(StepKind::WriteArea1Block, 0x0010).Chunk({0x5A}).Chunk({0x5A});
    EXPECT_EQ(Receive(standing), "receive block1!/1");
}

TEST(ReceiveDataTarget, ToleratesAnyBytesAtAll) {
    // Not a well-formed script: every byte still means something, and nothing breaks.
    Bytes noise(600);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 97 + 13);
    EXPECT_EQ(ReceiveDataTarget(noise).rfind("receive", 0), 0u);
    EXPECT_EQ(ReceiveDataTarget({}), "receive");
}

TEST(FirmwareFileTarget, NamesTheDecoderVerdict) {
    const Bytes demo = firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::BothAreas, 3, 2));
    EXPECT_EQ(FirmwareFileTarget(demo), "firmware ok both 3+2");
    EXPECT_EQ(FirmwareFileTarget(Bytes(demo.begin(), demo.end() - 1)), "firmware unreadable");
    Bytes badSum = demo;
    badSum[firmware::kRecordSize + 130] ^= 1;  // the first block byte of area 1
    EXPECT_EQ(FirmwareFileTarget(badSum), "firmware checksum-2");
    EXPECT_EQ(FirmwareFileTarget({}), "firmware unreadable");
}

TEST(BackupFileTarget, DecodesTheBytesAndTheirEditsOfAValidBackup) {
    const Bytes file = profile::EncodeBackupFile(*MakeProfileImage(512, 288, 312, 56));
    EXPECT_EQ(BackupFileTarget(file), "backup ok");
    Bytes tooLong = file;
    tooLong.push_back(0);
    EXPECT_EQ(BackupFileTarget(tooLong), "backup damaged, edited damaged") << "the header's sum is not the base's";
    // The base's own header and serial, then row 5's write address set to -32768.
    Bytes edits = {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x10, 0xF0, 0x27, 0, 0, 0, 0, 0x27};
    edits.resize(profile::kBackupBlocksOffset, 0);
    EXPECT_EQ(BackupFileTarget(edits), "backup damaged, edited ok");
    const Bytes negativeAddress = {0x05, 0x00, 0x00, 0x00, 0x80};
    edits.insert(edits.end(), negativeAddress.begin(), negativeAddress.end());
    EXPECT_EQ(BackupFileTarget(edits), "backup damaged, edited damaged");
}

TEST(KeptInput, ReadsHexBesideCommentsAndTheRecordedAccount) {
    const KeptInput kept = ParseKeptInput("# found by the fuzzer\n# expect: receive idle\n0b 00 00 ff\r\n02aB\n");
    EXPECT_TRUE(kept.ok);
    EXPECT_EQ(kept.expected, "receive idle");
    EXPECT_EQ(kept.bytes, (Bytes{0x0B, 0x00, 0x00, 0xFF, 0x02, 0xAB}));
    EXPECT_FALSE(ParseKeptInput("0b 0").ok);
    EXPECT_FALSE(ParseKeptInput("0x0b").ok);
    const Bytes bytes(40, 0xC3);
    const KeptInput again = ParseKeptInput(FormatKeptInput(bytes, "backup damaged"));
    EXPECT_EQ(again.bytes, bytes);
    EXPECT_EQ(again.expected, "backup damaged");
}

TEST(KeptInput, TargetFollowsTheFilePrefix) {
    EXPECT_EQ(TargetNamed("receive-close-in-memory-read.hex"), &ReceiveDataTarget);
    EXPECT_EQ(TargetNamed("firmware"), &FirmwareFileTarget);
    EXPECT_EQ(TargetNamed("backup-x.hex"), &BackupFileTarget);
    EXPECT_EQ(TargetNamed("receiver.hex"), nullptr);
    EXPECT_EQ(TargetNamed(""), nullptr);
}

}  // namespace
}  // namespace verno::fuzz
