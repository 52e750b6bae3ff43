#pragma once
// The desktop's language, as the locale's variables give it, when it is one of the catalogue's.

#include <functional>
#include <optional>
#include <string_view>

namespace verno::catalogue {

// The catalogue column (1 for the first language) of the desktop's language: the first entry of
// LANGUAGE's list that is one of the catalogue's languages; else the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty, when its language is one of them. nullopt:
// the configuration record decides. env gives a variable's value, nullptr when unset.
std::optional<int> DesktopLanguageColumn(const std::function<const char*(const char*)>& env);

// The column of one language tag ("de-DE", "fr", "es_ES.UTF-8"), when the catalogue has it:
// for the user's languages as Windows lists them in its settings rather than the environment.
std::optional<int> LanguageColumn(std::string_view tag);

}  // namespace verno::catalogue
