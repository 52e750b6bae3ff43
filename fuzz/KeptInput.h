#pragma once
// Inputs kept as regression cases: small text files in fuzz/regressions, named after their
// target ("firmware-...", "backup-...", "receive-..."), with the input as hex and the account
// the target gave for it:
//
//   # why the input is kept
//   # expect: receive memory/1
//   03 00 0a 00 00 ff 00 5a ...

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace verno::fuzz {

struct KeptInput {
    std::vector<std::uint8_t> bytes;
    std::string expected;  // empty when the file has no "# expect:" line
    bool ok = true;        // false on a character that is neither hex, space nor in a comment
};

KeptInput ParseKeptInput(std::string_view text);
std::string FormatKeptInput(std::span<const std::uint8_t> bytes, std::string_view account);

using TargetBody = std::string (*)(std::span<const std::uint8_t>);
// "firmware", "backup" or "receive", or the name of a kept file that starts with one and "-";
// nullptr for anything else.
TargetBody TargetNamed(std::string_view name);

}  // namespace verno::fuzz
