#pragma once
// Small formatting helpers shared by the task-log writers.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace verno {

// i * 100 / n rounded to a whole number with halves to the even neighbour, followed by "%".
// n must be positive.
std::string Percent(long i, long n);

// At least two decimal digits, as the "00" format pattern writes them.
std::string TwoDigitNumber(long value);

// Fills %1, %2, ... of one of our own texts in a single pass, so that a value holding "%2" is
// left as it is.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values);
template <typename... Values>
std::string FillPlaceholders(std::string_view text, const Values&... values) {
    return FillPlaceholders(text, {std::string_view(values)...});
}

// Texts read from the DC and the firmware file are single-byte (ANSI) characters; the front
// ends show UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// A firmware version as the rows show it: its two characters, and ".rr" when a revision goes with
// it ("1B.02").
std::string VersionText(std::string_view version, std::optional<long> revision = std::nullopt);

}  // namespace verno
