#include "catalogue/CatalogueWriter.h"
#include "catalogue/TextsSource.h"

#include <gtest/gtest.h>

#include <array>

namespace verno::catalogue {
namespace {

constexpr std::array kNeeds{280, 800};

TEST(TextsSource, ReadsNumberedRowsAndSkipsComments) {
    const auto source = ParseTextsSource("# header\n\n280\tFailed\tFehler\tÉchec\tErrore\tError\r\n"
                                         "800\tNext >\tWeiter >\tSuivant >\tAvanti >\tSiguiente >",
                                         kNeeds);
    ASSERT_TRUE(source.ok()) << source.error;
    ASSERT_EQ(source.texts.size(), 2u);
    EXPECT_EQ(source.texts.at(280)[2], "Échec");
    EXPECT_EQ(source.texts.at(280)[4], "Error");  // the line's CR is not part of the text
    EXPECT_EQ(source.texts.at(800)[0], "Next >");
}

TEST(TextsSource, RefusesIncompleteSources) {
    const std::string good800 = "800\tNext >\tWeiter >\tSuivant >\tAvanti >\tSiguiente >\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"280\tFailed\tFehler\t\tErrore\tError\n" + good800, "line 1: text 280 has no French text"},
        {"280\tFailed\tFehler\t  \tErrore\tError\n" + good800, "line 1: text 280 has no French text"},
        {"280\tFailed\tFehler\tÉchec\tErrore\n" + good800, "line 1: expected a number and 5 texts separated by tabs, found 5 fields"},
        {"28x\tFailed\tFehler\tÉchec\tErrore\tError\n" + good800, "line 1: \"28x\" is not a text number"},
        {good800, "text 280 is missing"},
        {good800 + good800, "line 2: text 800 appears twice"},
    };
    for (const Case& c : cases) {
        const auto source = ParseTextsSource(c.text, kNeeds);
        EXPECT_FALSE(source.ok());
        EXPECT_EQ(source.error, c.error);
    }
}

TEST(CatalogueWriter, RefusesAnUncheckedSourceAndLeavesNoFile) {
    const auto file = std::filesystem::temp_directory_path() / "verno-writer-refused.lng";
    std::filesystem::remove(file);
    const auto source = ParseTextsSource("800\tNext >\n", kNeeds);
    EXPECT_FALSE(WriteCatalogue(source, file).empty());
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace verno::catalogue
