#include "fuzz/KeptInput.h"

#include <cstdio>

#include "fuzz/Targets.h"
#include "tests/support/Hex.h"

namespace verno::fuzz {

namespace {

constexpr std::string_view kExpect = "# expect: ";

}  // namespace

KeptInput ParseKeptInput(std::string_view text) {
    KeptInput kept;
    std::string data;  // the lines that are not comments; a byte may run over a line's end
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with('#')) {
            if (line.starts_with(kExpect)) kept.expected = std::string(line.substr(kExpect.size()));
            continue;
        }
        data += line;
        data += '\n';
    }
    hex::Parsed parsed = hex::Parse(data);
    kept.bytes = std::move(parsed.bytes);
    kept.ok = parsed.ok;
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
