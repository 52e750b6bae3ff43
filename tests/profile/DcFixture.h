#pragma once
// The procedures against the simulated DC on virtual time, with a recording front end and a
// fresh program folder per test. The DC's memory is zero but for a profile of four blocks read at
// units 288..312 (block bytes 4608..5119), filled with a pattern, and serial number 000056.

#include <gtest/gtest.h>

#include <vector>

#include "firmware/FirmwareImage.h"
#include "tests/support/SimulatedSession.h"

namespace verno {

// Code blocks written over the profile, with area sums that match their block bytes.
inline firmware::FirmwareImage MakeFirmware(firmware::Layout layout, int area1Blocks, int area2Blocks,
                                            std::uint16_t memoryBlocks = 512) {
    firmware::FirmwareImage fw;
    fw.layout = layout;
    fw.DcModelNumber = 6978;
    fw.FwVersion = "1B";
    fw.FwRevision = layout == firmware::Layout::Area1Only ? 0 : 2;
    fw.DcMemoryBlocks = memoryBlocks;
    fw.FwModelName = "VERNO 1B";
    fw.FwModelTag = firmware::kDemoModelTag;  // the simulated DC's
    auto fill = [](std::vector<firmware::CodeBlock>& blocks, int n, std::uint8_t seed) {
        std::uint16_t sum = 0;
        for (int i = 0; i < n; ++i) {
            firmware::CodeBlock b;
            b.address = static_cast<std::uint16_t>(32 + 8 * i);
            for (std::size_t k = 0; k < 128; ++k) b.code[k] = static_cast<std::uint8_t>(seed + i * 3 + k);
            b.blockByte = static_cast<std::uint8_t>(0x40 + i);
            sum = static_cast<std::uint16_t>(sum + b.blockByte);
            blocks.push_back(b);
        }
        return sum;
    };
    fw.Area1Sum = fill(fw.Area1Blocks, area1Blocks, 0x11);
    fw.Area2Sum = fill(fw.Area2Blocks, area2Blocks, 0x77);
    fw.Area1Records = static_cast<std::uint16_t>(area1Blocks);
    fw.Area2Records = static_cast<std::uint16_t>(area2Blocks);
    fw.Area2Word = 0x0102;
    return fw;
}

inline dcsim::DcConfig FixtureDc(const firmware::FirmwareImage& fw) {
    dcsim::DcConfig config;
    config.memoryBlocks = fw.DcMemoryBlocks;
    config.memory = std::vector<std::uint8_t>(std::size_t{fw.DcMemoryBlocks} * 128, 0);
    config.writeSerial = false;
    config.writePointers = false;
    config.bytePacing = false;
    config.restartSeconds = 5.0;
    return config;
}

class DcFixture : public ::testing::Test, public SimulatedSession {
protected:
    explicit DcFixture(firmware::FirmwareImage image = MakeFirmware(firmware::Layout::Area1Only, 3, 0))
        : SimulatedSession(image, FixtureDc(image)), memory(dc.MutableMemory()) {
        SetSerial(0x00, 0x00, 0x56);
        SetPointers(0x1200, 0x1380);  // byte addresses on a 512-block DC
        for (std::size_t i = 4096; i < memory.size(); ++i) memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
        for (std::size_t i = 64; i < 72; ++i) memory[i] = static_cast<std::uint8_t>(0xC0 + i);
    }

    // Block-0 serial number bytes (packed BCD) and the profile pointers, as stored in the DC.
    void SetSerial(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        memory[10] = a;
        memory[11] = b;
        memory[12] = c;
    }
    void SetPointers(std::uint16_t start, std::uint16_t end) {
        memory[72] = static_cast<std::uint8_t>(start & 0xFF);
        memory[73] = static_cast<std::uint8_t>(start >> 8);
        memory[74] = static_cast<std::uint8_t>(end & 0xFF);
        memory[75] = static_cast<std::uint8_t>(end >> 8);
    }
    std::vector<std::uint8_t> MemoryRange(std::size_t fromByte, std::size_t toByte) const { return Bytes(fromByte, toByte); }
    std::filesystem::path BackupPath() const { return dir.path() / "6978.000056.bin"; }
    std::string T(int n) { return ui.LoadText(n); }

    std::vector<std::uint8_t>& memory;
};

}  // namespace verno
