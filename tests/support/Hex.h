#pragma once
// Bytes written as pairs of hex digits, blanks between them optional: the tests' wire fixtures,
// the fuzz seeds and the kept fuzz inputs are read by this one parser.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace verno::hex {

struct Parsed {
    std::vector<std::uint8_t> bytes;
    bool ok = true;  // false on a character that is neither a hex digit nor blank, or half a byte
};

inline int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Every pair of digits is a byte; anything else is skipped (and clears ok unless blank).
inline Parsed Parse(std::string_view text) {
    Parsed parsed;
    int high = -1;
    for (const char c : text) {
        const int v = Digit(c);
        if (v < 0) {
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') parsed.ok = false;
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            parsed.bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) parsed.ok = false;
    return parsed;
}

// A fixture: clean hex, or the test is broken.
inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    Parsed parsed = Parse(text);
    if (!parsed.ok) throw std::invalid_argument("bad hex fixture: " + std::string(text));
    return std::move(parsed.bytes);
}

}  // namespace verno::hex
