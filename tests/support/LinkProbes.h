#pragma once
// What a link's state shows at the wire, for the protocol tests on a scripted port: each probe
// runs one command against a DC that answers at once, and tells from the frames what the link
// did with them. Probes queue their own replies, so a test calls them once its script is used.

#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tests/link/protocol/ScriptedPort.h"

namespace verno::link::test {

// An aborted link (Close) stops a ReadIdentity after its first frame, however the DC answers.
inline bool IdentityStopsAtOnce(LinkFixture& f) {
    const std::size_t before = f.port.Writes().size();
    f.port.Then(Answer("00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 0D"));
    return f.comm.ReadIdentity() == LinkStatus::Aborted && f.port.Writes().size() == before + 1;
}

// A communication error left set stops a memory read after its first frame.
inline bool MemoryReadStopsAtOnce(LinkFixture& f) {
    const std::size_t before = f.port.Writes().size();
    std::vector<std::uint8_t> reply(wire::kMemoryReplyLength, 0x00);
    reply[0] = wire::kAck;
    f.port.Then(Reply{{reply}});
    return f.comm.ReadMemory(8, 8).status == LinkStatus::Aborted && f.port.Writes().size() == before + 1;
}

// A standing failure keeps a code block's payload back: the acknowledged header is the only frame.
// Clears a communication error first (as every word command does), which would stop the header.
inline bool FailureStands(LinkFixture& f) {
    f.port.Then(Answer("5A"));
    EXPECT_EQ(f.comm.SendWordCommand(wire::kCloseArea1, 0), LinkStatus::Ok) << "the probe's own word command";
    const std::size_t before = f.port.Writes().size();
    f.port.Then(Answer("5A")).Then(Answer("5A"));
    const std::array<std::uint8_t, kBlockBytes + 1> block{};
    const LinkStatus status = f.comm.WriteCodeBlock(0x0010, wire::kWriteArea1Block, block);
    return status != LinkStatus::Ok && f.port.Writes().size() == before + 1;
}

}  // namespace verno::link::test
