#pragma once
// Drives a SimulatedDc with hex frames on its own time line.

#include <cstdint>
#include <string_view>
#include <vector>

#include "dcsim/SimulatedDc.h"
#include "tests/support/Hex.h"

namespace verno::dcsim::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Hex(std::string_view text) { return hex::Bytes(text); }

struct DcWire {
    explicit DcWire(DcConfig config = {}, DcFaults faults = {}) : dc(std::move(config), faults) {}

    // Sends the bytes and collects what the DC answers within `wait` seconds.
    Bytes Send(const Bytes& bytes, double wait = 0.05) {
        dc.Write(t, bytes);
        t += Seconds(wait);
        return dc.TakeDue(t);
    }
    Bytes Send(std::string_view hex, double wait = 0.05) { return Send(Hex(hex), wait); }
    void Wait(double seconds) {
        t += Seconds(seconds);
        (void)dc.TakeDue(t);
    }

    SimulatedDc dc;
    Seconds t{100.0};
};

// 128 bytes of value `fill`, then the block byte, then the frame's 0x00.
inline Bytes CodePayload(std::uint8_t fill, std::uint8_t blockByte) {
    Bytes p(128, fill);
    p.push_back(blockByte);
    p.push_back(0x00);
    return p;
}

inline Bytes PiecePayload(std::uint8_t fill, bool goodSum = true) {
    Bytes p(16, fill);
    p.push_back(static_cast<std::uint8_t>(fill * 16 + (goodSum ? 0 : 1)));
    p.push_back(0x00);
    return p;
}

}  // namespace verno::dcsim::test
