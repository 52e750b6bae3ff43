#pragma once
// Firmware files written byte by byte from the file format: 131-byte records, a header with
// offsets 0-7 XOR the key at 8-15, texts XOR the key cycling 8..15, code bytes XOR byte 130.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace verno::firmware::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Hex(const std::string& hex) {
    Bytes out;
    std::istringstream in(hex);
    std::string byte;
    while (in >> byte) out.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
    return out;
}

// One record with the given bytes placed at their offsets; the rest zero.
struct Record {
    Bytes bytes = Bytes(131, 0);
    Record& At(std::size_t offset, const std::string& hex) {
        const Bytes b = Hex(hex);
        for (std::size_t i = 0; i < b.size(); ++i) bytes.at(offset + i) = b[i];
        return *this;
    }
};

// A code record: address, 128 stored bytes all `stored`, block byte `key`.
inline Record CodeRecord(const std::string& addressHex, std::uint8_t stored, std::uint8_t key) {
    Record r;
    r.At(0, addressHex);
    for (std::size_t i = 2; i < 130; ++i) r.bytes[i] = stored;
    r.bytes[130] = key;
    return r;
}

// Key 01..08. Model 0x1234, version "1A", area-1 sum 0x0103, 512 blocks, scrambled:
// 12^01 34^02 31^03 41^04 01^05 03^06 02^07 00^08. Name "AB" (41^01 42^02), tag "T" (54^01).
inline Record BaseHeader() {
    Record h;
    h.At(0, "13 36 32 45 04 05 05 08")
        .At(8, "01 02 03 04 05 06 07 08")
        .At(24, "05")
        .At(32, "40 40 00 55 00");
    return h;
}

inline Bytes File(const std::vector<Record>& records) {
    Bytes out;
    for (const auto& r : records) out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    return out;
}

}  // namespace verno::firmware::testing
