#pragma once
// The procedures against the scripted DC on virtual time, with a recording front end and a
// fresh program folder per test.

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/VirtualClock.h"
#include "tests/profile/FakeDc.h"
#include "tests/support/RecordingSurface.h"
#include "tests/support/TempFolder.h"
#include "profile/ProfileSession.h"

namespace verno {

inline firmware::FirmwareImage MakeFirmware(firmware::Layout layout, int area1Blocks, int area2Blocks,
                                            std::uint16_t memoryBlocks = 512) {
    firmware::FirmwareImage fw;
    fw.layout = layout;
    fw.DcModelNumber = 6978;
    fw.FwVersion = "1B";
    fw.FwRevision = layout == firmware::Layout::Area1Only ? 0 : 2;
    fw.DcMemoryBlocks = memoryBlocks;
    fw.FwModelName = "VERNO 1B";
    fw.FwModelTag = "VERNO1B";
    auto fill = [](std::vector<firmware::CodeBlock>& blocks, int n, std::uint8_t seed) {
        for (int i = 0; i < n; ++i) {
            firmware::CodeBlock b;
            b.address = static_cast<std::uint16_t>(32 + 8 * i);  // written over the profile
            for (std::size_t k = 0; k < 128; ++k) b.code[k] = static_cast<std::uint8_t>(seed + i * 3 + k);
            b.blockByte = static_cast<std::uint8_t>(0x40 + i);
            blocks.push_back(b);
        }
    };
    fill(fw.Area1Blocks, area1Blocks, 0x11);
    fill(fw.Area2Blocks, area2Blocks, 0x77);
    fw.Area1Records = static_cast<std::uint16_t>(area1Blocks);
    fw.Area2Records = static_cast<std::uint16_t>(area2Blocks);
    fw.Area1Sum = 0x1234;
    fw.Area2Sum = 0x0304;
    fw.Area2Word = 0x0102;
    return fw;
}

// SessionType: profile::ProfileSession for the profile procedures, update::Session for the
// update (it needs the clock and the pump as well).
template <class SessionType>
class DcFixtureT : public ::testing::Test {
protected:
    explicit DcFixtureT(firmware::FirmwareImage image = MakeFirmware(firmware::Layout::Area1Only, 3, 0))
        : fw(std::move(image)), dc(clock, fw.DcMemoryBlocks), comm(dc, clock, dc) {
        dc.Attach(comm);
        comm.SizeReceiveBuffersForMemory(fw.DcMemoryBlocks);
        NewSession();
        // A profile of four blocks read at units 288..312 (pointers are byte addresses on a
        // 512-block DC), and
        // serial number 000056.
        SetSerial(0x00, 0x00, 0x56);
        SetPointers(0x1200, 0x1380);
        for (std::size_t i = 4096; i < dc.memory.size(); ++i) dc.memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
        for (std::size_t i = 64; i < 72; ++i) dc.memory[i] = static_cast<std::uint8_t>(0xC0 + i);
    }

    void NewSession() {
        auto setter = [this](std::uint32_t c) {
            priorities.push_back(c);
            return c;
        };
        if constexpr (std::is_same_v<SessionType, profile::ProfileSession>) {
            session = std::make_unique<SessionType>(comm, fw, ui, wall, dir.path(), setter);
        } else {
            session = std::make_unique<SessionType>(comm, clock, dc, fw, ui, wall, dir.path(), setter);
        }
        ui.onResetStage = [this] { priorities.push_back(0x20); };
        session->profile.KeepProfile = true;
        session->profile.ProfileSafe = true;
    }

    // Block-0 serial number bytes (packed BCD) and the profile pointers, as stored in the DC.
    void SetSerial(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        dc.memory[10] = a;
        dc.memory[11] = b;
        dc.memory[12] = c;
    }
    void SetPointers(std::uint16_t start, std::uint16_t end) {
        dc.memory[72] = static_cast<std::uint8_t>(start & 0xFF);
        dc.memory[73] = static_cast<std::uint8_t>(start >> 8);
        dc.memory[74] = static_cast<std::uint8_t>(end & 0xFF);
        dc.memory[75] = static_cast<std::uint8_t>(end >> 8);
    }
    std::vector<std::uint8_t> MemoryRange(std::size_t fromByte, std::size_t toByte) const {
        return {dc.memory.begin() + static_cast<std::ptrdiff_t>(fromByte), dc.memory.begin() + static_cast<std::ptrdiff_t>(toByte)};
    }
    std::filesystem::path BackupPath() const { return dir.path() / "6978.000056.bin"; }
    std::string T(int n) { return ui.LoadText(n); }

    TempFolder dir;
    firmware::FirmwareImage fw;
    link::VirtualClock clock;
    FakeDc dc;
    link::CommModule comm;
    RecordingSurface ui;
    FixedWallClock wall;
    std::vector<std::uint32_t> priorities;
    std::unique_ptr<SessionType> session;
};

using DcFixture = DcFixtureT<profile::ProfileSession>;

}  // namespace verno
