#pragma once
// The product configuration record: firmware file | reserved | program started at Close |
// language code.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verno {

struct ConfigRecord {
    std::vector<std::string> ConfigFields;   // every field, in order
    std::filesystem::path FirmwareFileName;  // field 0, made relative to the program folder
    std::filesystem::path FirmwareFilePath;  // program folder / field 0
    std::string CloseProgramName;            // field 2, empty when absent
    std::int32_t LanguageIndex = 1;          // catalogue column of the configured language
};

// Splits the record at every "|". Nullopt when it has fewer than two fields: the program then
// ends without a message.
std::optional<ConfigRecord> ReadConfigRecord(std::string_view record,
                                             const std::filesystem::path& programFolder);

// The forgiving number reader of the language code: blanks, tabs and line feeds are skipped
// wherever they are; "&H" / "&O" start a hexadecimal / octal number; otherwise an optional sign,
// digits, a decimal point and an exponent (E or D). Reading stops at the first character that
// cannot continue the number; no number at all reads as 0.
double LenientNumber(std::string_view text);

// The column for a language code: 5000 -> 1, 6000 -> 2, ... (code - 5000, rounded with halves
// to even, divided by 1000 towards zero, plus 1). Codes beyond the 32-bit range are clamped to it.
std::int32_t LanguageIndexFromCode(double code);

}  // namespace verno
