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
    const char* tag;   // its ISO 639-1 code
};

inline constexpr std::array<LanguageInfo, kLanguageCount> kLanguages{{
    {5000, "English", "en"}, {6000, "Deutsch", "de"}, {7000, "Français", "fr"}, {8000, "Italiano", "it"},
    {9000, "Español", "es"},
}};

// The ISO 639-1 code of the language in catalogue column k (1 for the first); empty for a
// column that is no language's.
inline std::string LanguageTag(int column) {
    return column >= 1 && column <= kLanguageCount ? kLanguages[static_cast<std::size_t>(column - 1)].tag : "";
}

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
