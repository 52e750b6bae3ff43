#include "catalogue/TextsSource.h"

#include <charconv>
#include <vector>

namespace verno::catalogue {

namespace {

bool Blank(std::string_view s) { return s.find_first_not_of(" \t\r") == std::string_view::npos; }

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace

TextsSource ParseTextsSource(std::string_view source, std::span<const int> required) {
    TextsSource result;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (Blank(line) || line.front() == '#') continue;

        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const auto fields = SplitTabs(line);
        if (fields.size() != kLanguageCount + 1) {
            result.error = where + "expected a number and " + std::to_string(kLanguageCount) +
                           " texts separated by tabs, found " + std::to_string(fields.size()) + " fields";
            return result;
        }
        int number = 0;
        const auto [ptr, ec] = std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), number);
        if (ec != std::errc() || ptr != fields[0].data() + fields[0].size()) {
            result.error = where + "\"" + std::string(fields[0]) + "\" is not a text number";
            return result;
        }
        if (result.texts.contains(number)) {
            result.error = where + "text " + std::to_string(number) + " appears twice";
            return result;
        }
        TextRow row;
        for (int k = 0; k < kLanguageCount; ++k) {
            const std::string_view text = fields[static_cast<std::size_t>(k) + 1];
            if (Blank(text)) {
                result.error = where + "text " + std::to_string(number) + " has no " + kLanguageColumns[k] + " text";
                return result;
            }
            row[k] = std::string(text);
        }
        result.texts.emplace(number, std::move(row));
    }
    for (const int n : required) {
        if (!result.texts.contains(n)) {
            result.error = "text " + std::to_string(n) + " is missing";
            return result;
        }
    }
    return result;
}

}  // namespace verno::catalogue
