// verno-fuzz-seeds OUT: writes the seed inputs of the backup and ReceiveData targets into
// OUT/backup and OUT/receive. Backups come from the backup file writer; ReceiveData scripts
// carry the DC's replies as they appear on the wire.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/FirmwarePacker.h"
#include "fuzz/ReceiveScript.h"
#include "link/protocol/CommModule.h"
#include "profile/BackupFile.h"
#include "profile/ProfileRange.h"
#include "tests/support/Hex.h"

namespace {

namespace fs = std::filesystem;
namespace script = verno::fuzz::script;
namespace profile = verno::profile;
using script::StepKind;
using Bytes = std::vector<std::uint8_t>;

Bytes Hex(std::string_view text) { return verno::hex::Bytes(text); }

bool WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// --- backups ---

// Block 0 of a DC: serial 123456 in packed BCD, the profile pointers as the DC keeps them.
Bytes BlockZero(int memoryBlocks, std::uint16_t startUnits, std::uint16_t endUnits) {
    Bytes block(128, 0);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 37 + 11);
    block[10] = 0x12;
    block[11] = 0x34;
    block[12] = 0x56;
    const auto encode = [memoryBlocks](std::uint16_t units) {
        return memoryBlocks == 1024 ? units : static_cast<std::uint16_t>(units * 16u);
    };
    block[72] = static_cast<std::uint8_t>(encode(startUnits) & 0xFF);
    block[73] = static_cast<std::uint8_t>(encode(startUnits) >> 8);
    block[74] = static_cast<std::uint8_t>(encode(endUnits) & 0xFF);
    block[75] = static_cast<std::uint8_t>(encode(endUnits) >> 8);
    return block;
}

// The profile as the backup saves it: header and serial digits from block 0, one row a block.
std::unique_ptr<profile::ProfileImage> SavedProfile(int memoryBlocks, std::uint16_t startUnits, std::uint16_t endUnits) {
    auto st = std::make_unique<profile::ProfileImage>();
    const Bytes block0 = BlockZero(memoryBlocks, startUnits, endUnits);
    unsigned headerSum = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        st->ProfileHeader[i] = block0[64 + i];
        headerSum += block0[64 + i];
    }
    st->ProfileHeader[16] = static_cast<std::uint8_t>(headerSum % 256);
    const std::uint8_t digits[6] = {1, 2, 3, 4, 5, 6};
    std::copy(std::begin(digits), std::end(digits), st->SerialDigits.begin());

    const auto blocks = static_cast<std::uint16_t>(memoryBlocks);
    const std::int32_t start = profile::DecodePointer(st->ProfileHeader[8], st->ProfileHeader[9], blocks);
    const std::int32_t end = profile::DecodePointer(st->ProfileHeader[10], st->ProfileHeader[11], blocks);
    if (start == end) return st;
    const profile::ProfileRange range = profile::ApplyRangeRule(start, end, blocks);
    st->ProfileBlockCount = static_cast<std::int16_t>(std::min<std::int32_t>(range.blockCount, profile::kProfileRows));
    for (std::int32_t j = 0; j < range.blockCount && j < static_cast<std::int32_t>(profile::kProfileRows); ++j) {
        auto& row = st->ProfileBlocks[static_cast<std::size_t>(j)];
        row[0] = static_cast<std::int16_t>(range.firstReadAddress + 8 * j - 256);
        unsigned sum = 0;
        for (std::size_t c = 1; c <= 128; ++c) {
            row[c] = static_cast<std::int16_t>((static_cast<std::size_t>(j) * 13 + c * 5) & 0xFF);
            sum += static_cast<unsigned>(row[c]);
        }
        row[profile::kSumColumn] = static_cast<std::int16_t>(sum % 256);
    }
    return st;
}

bool MakeBackupSeeds(const fs::path& folder) {
    struct Seed {
        const char* name;
        int memoryBlocks;
        std::uint16_t start;
        std::uint16_t end;
    };
    const Seed seeds[] = {
        {"profile-512-48-blocks", 512, 256, 639},
        {"profile-512-wrapped", 512, 3000, 1000},
        {"profile-512-empty", 512, 400, 400},
        {"profile-1024-units", 1024, 300, 2200},
    };
    bool ok = true;
    for (const Seed& s : seeds) {
        const Bytes file = profile::EncodeBackupFile(*SavedProfile(s.memoryBlocks, s.start, s.end));
        ok = WriteFile(folder / (std::string(s.name) + ".bin"), file) && ok;
        // The same backup as edits: its header and serial digits, then two edits of values.
        Bytes edits(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(profile::kBackupBlocksOffset));
        const Bytes negativeAddress = Hex("05 00 00  00 80");  // row 5, column 0: -32768
        const Bytes wideByte = Hex("05 04 00  00 01");         // row 5, column 1: 256
        Bytes damaged = edits;
        damaged.insert(damaged.end(), negativeAddress.begin(), negativeAddress.end());
        Bytes wide = edits;
        wide.insert(wide.end(), wideByte.begin(), wideByte.end());
        ok = WriteFile(folder / (std::string(s.name) + "-front"), edits) && ok;
        ok = WriteFile(folder / (std::string(s.name) + "-negative-address"), damaged) && ok;
        ok = WriteFile(folder / (std::string(s.name) + "-wide-byte"), wide) && ok;
    }
    return ok;
}

// --- ReceiveData scripts ---

const Bytes kAck = Hex("5A");
const Bytes kNak = Hex("A5");
// 0x5A, "VERNO1B FW-1A DC", 0x00
const Bytes kIdentityReply = Hex("5A 56 45 52 4E 4F 31 42 20 46 57 2D 31 41 20 44 43 00");
const Bytes kRevisionReply = Hex("5A 07");

Bytes MemoryReply() {
    Bytes reply = kAck;
    const Bytes block = BlockZero(512, 256, 639);
    reply.insert(reply.end(), block.begin(), block.end());
    return reply;
}

// Every byte its own chunk, each in a pass of its own, as a slow port delivers them.
void ByteAtATime(script::Writer& w, const Bytes& reply) {
    for (const std::uint8_t b : reply) w.Chunk({b});
}

struct Script {
    std::string name;
    Bytes bytes;
};

std::vector<Script> ReceiveScripts() {
    std::vector<Script> out;
    auto add = [&out](std::string name, script::Writer& w) { out.push_back({std::move(name), w.Bytes()}); };
    const Bytes memory = MemoryReply();

    add("identity", script::Writer(0, 0).Step(StepKind::ReadIdentity, 0).Chunk(kIdentityReply));
    {
        script::Writer w(0, 0);
        w.Step(StepKind::ReadIdentity, 0);
        ByteAtATime(w, kIdentityReply);
        add("identity-byte-at-a-time", w);
    }
    add("identity-refused-then-answered",
        script::Writer(0, 0).Step(StepKind::ReadIdentity, 0).Chunk(kNak).Wait(5).Chunk(kIdentityReply));
    add("revision", script::Writer(0, 0).Step(StepKind::ReadRevision, 0).Chunk(kRevisionReply));
    {
        script::Writer w(0, 0);
        w.Step(StepKind::ReadRevision, 0);
        ByteAtATime(w, kRevisionReply);
        add("revision-byte-at-a-time", w);
    }
    add("close-area-1", script::Writer(0, 0).Step(StepKind::CloseArea1, 0x1234).Chunk(kAck));
    add("close-area-2", script::Writer(0, 0).Step(StepKind::CloseArea2, 0x0BCD).Chunk(kAck));
    add("area-2-word", script::Writer(0, 0).Step(StepKind::Area2Word, 0x0102).Chunk(kAck));
    add("end-connection", script::Writer(0, 0).Step(StepKind::EndConnection, 0).Chunk(kAck));
    add("end-connection-refused-then-acknowledged",
        script::Writer(0, 0).Step(StepKind::EndConnection, 0).Chunk(kNak).Wait(2).Chunk(kAck));
    add("code-block-1", script::Writer(0, 0).Step(StepKind::WriteArea1Block, 0x0123).Chunk(kAck).Wait(1).Chunk(kAck));
    add("code-block-2", script::Writer(1, 0).Step(StepKind::WriteArea2Block, 0x0008).Chunk(kAck).Wait(1).Chunk(kAck));
    add("code-block-payload-refused",
        script::Writer(0, 0).Step(StepKind::WriteArea1Block, 0x0C00).Chunk(kAck).Chunk(kNak).Chunk(kAck).Chunk(kAck));
    add("profile-piece", script::Writer(0, 0).Step(StepKind::WriteProfileBlock, 4).Chunk(kAck).Wait(1).Chunk(kAck));
    add("clock", script::Writer(0, 0).Step(StepKind::SetDateTime, 0).Chunk(kAck).Wait(1).Chunk(kAck));
    add("memory-block-0", script::Writer(1, 0).Step(StepKind::ReadMemory, 0).Chunk(memory));
    add("memory-in-two-chunks", script::Writer(0, 0)
                                              .Step(StepKind::ReadMemory, 0x0100)
                                              .Chunk(std::span(memory).first(1))
                                              .Chunk(std::span(memory).subspan(1)));
    add("memory-refused", script::Writer(0, 0).Step(StepKind::ReadMemory, 0).Chunk(kNak).Chunk(memory));
    add("memory-into-shrunk-buffers", script::Writer(3, 0).Step(StepKind::ReadMemory, 0).Chunk(memory));
    add("memory-then-close", script::Writer(2, 0).Step(StepKind::ReadMemory, 0).Chunk(std::span(memory).first(40)).Close().Chunk(std::span(memory).subspan(40)));
    add("late-bytes-without-command", script::Writer(0, 0).Step(StepKind::Idle, 0).Chunk(memory));
    add("late-bytes-after-header", script::Writer(0, 0).Step(StepKind::CloseArea1, 0xB512).Chunk(kAck).Chunk(memory));
    add("settle-drops-late-bytes", script::Writer(0, 0)
                                       .Step(StepKind::CloseArea1, 0x0001)
                                       .Chunk(kAck)
                                       .Step(StepKind::Settle, 20)
                                       .Chunk(memory));
    add("write-fails", script::Writer(0, 2).Step(StepKind::WriteArea1Block, 0x0010).Chunk(kAck));
    add("transfer-already-failed", script::Writer(0, script::kFailureStandsBit).Step(StepKind::WriteArea1Block, 0x0010).Chunk(kAck).Chunk(kAck));
    {
        // One connection as the update makes it, shortened.
        script::Writer w(1, 0);
        w.Step(StepKind::ReadIdentity, 0).Chunk(kIdentityReply);
        w.Step(StepKind::ReadRevision, 0).Chunk(kRevisionReply);
        w.Step(StepKind::ReadMemory, 0).Chunk(memory);
        w.Step(StepKind::WriteArea1Block, 0).Chunk(kAck).Chunk(kAck);
        w.Step(StepKind::CloseArea1, 0x00A0).Chunk(kAck);
        w.Step(StepKind::SetDateTime, 0).Chunk(kAck).Chunk(kAck);
        w.Step(StepKind::EndConnection, 0).Chunk(kAck).Close();
        if (w.Fits()) add("session", w);
    }
    return out;
}

}  // namespace

// A firmware file whose model tag is empty: the decoder refuses it (code 5), and verno-fwr will
// not write one, so the packer is called here directly.
bool MakeFirmwareSeeds(const fs::path& folder) {
    verno::firmware::FirmwareSource source;
    source.layout = verno::firmware::Layout::Area2Only;
    source.FwModelTag.clear();
    verno::firmware::CodeBlock block;
    block.address = 0x20;
    block.code.fill(0x5A);
    block.blockByte = 0x40;
    source.Area2Blocks.push_back(block);
    return WriteFile(folder / "pack-empty-tag", verno::firmware::PackFirmware(source));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: verno-fuzz-seeds OUT\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out / "backup", ec);
    fs::create_directories(out / "receive", ec);
    if (ec) {
        std::fprintf(stderr, "verno-fuzz-seeds: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    fs::create_directories(out / "firmware", ec);
    bool ok = MakeBackupSeeds(out / "backup") && MakeFirmwareSeeds(out / "firmware");
    for (const auto& s : ReceiveScripts()) ok = WriteFile(out / "receive" / s.name, s.bytes) && ok;
    if (!ok) {
        std::fprintf(stderr, "verno-fuzz-seeds: could not write every seed into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
