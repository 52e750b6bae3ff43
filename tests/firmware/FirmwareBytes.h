#pragma once
// Builds firmware files byte by byte from the file format, independently of the packer.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/FirmwareImage.h"

namespace verno::firmware::test {

inline std::vector<std::uint8_t> Hex(std::string_view text) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (const char c : text) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// A file under construction: record 1 is the header, set in plain form and scrambled on Bytes().
struct RawFile {
    std::vector<std::vector<std::uint8_t>> records{std::vector<std::uint8_t>(kRecordSize, 0)};

    RawFile() {
        const std::uint8_t key[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
        for (int i = 0; i < 8; ++i) header()[8 + i] = key[i];
        Texts("VERNO 1B", "VERNO1B");
    }
    std::vector<std::uint8_t>& header() { return records[0]; }
    void Word(std::size_t offset, std::uint16_t v) {
        header()[offset] = static_cast<std::uint8_t>(v >> 8);
        header()[offset + 1] = static_cast<std::uint8_t>(v);
    }
    // Both texts scrambled with the key bytes 8..15, the key restarting for the second.
    void Texts(std::string_view name, std::string_view tag) {
        std::size_t p = 32;
        for (const auto text : {name, tag}) {
            std::size_t k = 8;
            for (const char c : text) {
                header()[p++] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ header()[k]);
                k = k == 15 ? 8 : k + 1;
            }
            header()[p++] = 0;
        }
    }
    // A code record whose address is its tag, so a test can see which record went where.
    void Record(std::uint16_t address, std::uint8_t blockByte, std::uint8_t storedFill = 0) {
        std::vector<std::uint8_t> r(kRecordSize, storedFill);
        r[0] = static_cast<std::uint8_t>(address >> 8);
        r[1] = static_cast<std::uint8_t>(address);
        r[130] = blockByte;
        records.push_back(r);
    }
    // The plain values of offsets 0-7 (model, version, area-1 sum, memory), scrambled.
    std::vector<std::uint8_t> Bytes(std::uint16_t model = 6978, std::string_view version = "1A",
                                    std::uint16_t area1Sum = 0, std::uint16_t memory = 512) const {
        std::vector<std::uint8_t> out;
        for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
        const std::uint8_t plain[8] = {static_cast<std::uint8_t>(model >> 8), static_cast<std::uint8_t>(model),
                                       static_cast<std::uint8_t>(version[0]), static_cast<std::uint8_t>(version[1]),
                                       static_cast<std::uint8_t>(area1Sum >> 8), static_cast<std::uint8_t>(area1Sum),
                                       static_cast<std::uint8_t>(memory >> 8), static_cast<std::uint8_t>(memory)};
        for (int k = 0; k < 8; ++k) out[k] = plain[k] ^ out[k + 8];
        return out;
    }
};

}  // namespace verno::firmware::test
