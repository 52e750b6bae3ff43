#include "catalogue/DesktopLanguage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace verno::catalogue {
namespace {

std::optional<int> ColumnFor(std::map<std::string, std::string> values) {
    return DesktopLanguageColumn([&values](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    });
}

TEST(DesktopLanguage, TheLocalesVariablesInTheirOrderChooseOneOfTheCataloguesLanguages) {
    EXPECT_EQ(ColumnFor({{"LANG", "de_DE.UTF-8"}}), 2);
    EXPECT_EQ(ColumnFor({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}), 3);
    EXPECT_EQ(ColumnFor({{"LC_MESSAGES", "fr_FR.UTF-8"}, {"LC_ALL", "es_ES@euro"}}), 5);
    EXPECT_EQ(ColumnFor({{"LC_ALL", "de_AT"}, {"LANGUAGE", "pt_BR:it:de"}}), 4);  // the first it has
    EXPECT_EQ(ColumnFor({{"LANGUAGE", "pt_BR"}, {"LANG", "en_GB.UTF-8"}}), 1);   // none of the list
    // Windows' own list of the user's languages.
    EXPECT_EQ(LanguageColumn("it-CH"), 4);
    EXPECT_EQ(LanguageColumn("pt-BR"), std::nullopt);
}

TEST(DesktopLanguage, AnotherLanguageOrNoneLeavesItToTheConfigurationRecord) {
    EXPECT_EQ(ColumnFor({}), std::nullopt);
    EXPECT_EQ(ColumnFor({{"LANG", "C.UTF-8"}}), std::nullopt);
    EXPECT_EQ(ColumnFor({{"LANG", "ja_JP.UTF-8"}}), std::nullopt);
    EXPECT_EQ(ColumnFor({{"LC_ALL", ""}, {"LANG", "POSIX"}}), std::nullopt);
}

}  // namespace
}  // namespace verno::catalogue
