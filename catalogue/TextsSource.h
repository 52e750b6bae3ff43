#pragma once
// The catalogue's plain-text source: one line per text number, tab separated: the number, then
// the text in each language in column order. Lines starting with "#" and blank lines are
// comments.

#include <array>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace verno::catalogue {

// The catalogue's languages, in column order (column k holds language k).
inline constexpr int kLanguageCount = 5;

struct LanguageInfo {
    int code;          // the configuration record's language code
    const char* name;  // the language's own name
};

inline constexpr std::array<LanguageInfo, kLanguageCount> kLanguages{{
    {5000, "English"}, {6000, "Deutsch"}, {7000, "Français"}, {8000, "Italiano"}, {9000, "Español"},
}};

// Column names of CONTENTS after ID, in column order.
inline constexpr std::array<const char*, kLanguageCount> kLanguageColumns{
    "English", "German", "French", "Italian", "Spanish"};

using TextRow = std::array<std::string, kLanguageCount>;

struct TextsSource {
    std::map<int, TextRow> texts;
    std::string error;  // empty when the source is complete and well formed
    bool ok() const { return error.empty(); }
};

// Parses and checks a source: every line has a number and a non-blank text in each language,
// no number appears twice, and every number of `required` is present.
TextsSource ParseTextsSource(std::string_view source, std::span<const int> required);

}  // namespace verno::catalogue
