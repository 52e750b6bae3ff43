#pragma once
// The desktop's language, as the locale's variables give it, when it is one of the catalogue's.

#include <functional>
#include <optional>

namespace verno::catalogue {

// The catalogue column (1 for the first language) of the desktop's language: the first entry of
// LANGUAGE's list that is one of the catalogue's languages; else the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty, when its language is one of them. nullopt:
// the configuration record decides. env gives a variable's value, nullptr when unset.
std::optional<int> DesktopLanguageColumn(const std::function<const char*(const char*)>& env);

}  // namespace verno::catalogue
