#include "fuzz/KeptInput.h"

#include <cstdio>

#include "fuzz/Targets.h"

namespace verno::fuzz {

namespace {

constexpr std::string_view kExpect = "# expect: ";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

KeptInput ParseKeptInput(std::string_view text) {
    KeptInput kept;
    int high = -1;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with('#')) {
            if (line.starts_with(kExpect)) kept.expected = std::string(line.substr(kExpect.size()));
            continue;
        }
        for (const char c : line) {
            if (c == ' ' || c == '\t') continue;
            const int v = HexDigit(c);
            if (v < 0) {
                kept.ok = false;
                continue;
            }
            if (high < 0) {
                high = v;
            } else {
                kept.bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
                high = -1;
            }
        }
    }
    if (high >= 0) kept.ok = false;  // half a byte
    return kept;
}

std::string FormatKeptInput(std::span<const std::uint8_t> bytes, std::string_view account) {
    std::string text = std::string(kExpect) + std::string(account) + "\n";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        text += hex;
        text += (i + 1) % 32 == 0 || i + 1 == bytes.size() ? "\n" : " ";
    }
    return text;
}

TargetBody TargetNamed(std::string_view name) {
    const auto named = [name](std::string_view target) {
        return name == target || (name.starts_with(target) && name.size() > target.size() && name[target.size()] == '-');
    };
    if (named("firmware")) return &FirmwareFileTarget;
    if (named("backup")) return &BackupFileTarget;
    if (named("receive")) return &ReceiveDataTarget;
    return nullptr;
}

}  // namespace verno::fuzz
