#include "catalogue/DesktopLanguage.h"

#include <string_view>

#include "catalogue/TextsSource.h"

namespace verno::catalogue {

// "de_DE.UTF-8", "de_AT@euro", "de-CH", "de": the column of its language.
std::optional<int> LanguageColumn(std::string_view tag) {
    const std::string_view language = tag.substr(0, tag.find_first_of("_.@-"));
    for (int column = 1; column <= kLanguageCount; ++column)
        if (language == kLanguages[static_cast<std::size_t>(column - 1)].tag) return column;
    return std::nullopt;
}

std::optional<int> DesktopLanguageColumn(const std::function<const char*(const char*)>& env) {
    if (const char* list = env("LANGUAGE"); list && *list) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            if (const auto column = LanguageColumn(rest.substr(0, colon))) return column;
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = env(variable); value && *value) return LanguageColumn(value);
    }
    return std::nullopt;
}

}  // namespace verno::catalogue
