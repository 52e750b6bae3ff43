#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueMessage.h"
#include "catalogue/CatalogueWriter.h"
#include "catalogue/TextsSource.h"
#include "common/TextNumbers.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

namespace verno::catalogue {
namespace {

namespace fs = std::filesystem;

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("verno-catalogue-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path WriteSmallCatalogue() {
        TextsSource source;
        source.texts[280] = {"Failed", "Fehler", "Échec", "Errore", "Error"};
        source.texts[800] = {"Next >", "Weiter >", "Suivant >", "Avanti >", "Siguiente >"};
        const fs::path file = dir_ / "FirmwareUpdate.lng";
        EXPECT_EQ(WriteCatalogue(source, file), "");
        return file;
    }

    void Sql(const fs::path& file, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(reinterpret_cast<const char*>(file.u8string().c_str()), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    fs::path dir_;
};

TEST_F(CatalogueTest, LooksUpTextsInTheChosenLanguage) {
    const fs::path file = WriteSmallCatalogue();
    Catalogue first;
    ASSERT_EQ(first.Open(file, 1), CatalogueStatus::Open);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(first.LoadText(800), "Next >");
    EXPECT_EQ(first.LoadText(280), "Failed");
    EXPECT_EQ(first.LoadText(800), "Next >");  // the kept statement serves repeated lookups

    Catalogue second;
    ASSERT_EQ(second.Open(file, 2), CatalogueStatus::Open);
    EXPECT_EQ(second.LoadText(800), "Weiter >");
    EXPECT_EQ(second.LoadText(280), "Fehler");
}

// A user name with letters beyond ASCII puts them in every path the program opens.
TEST_F(CatalogueTest, AFolderNamedInAnyAlphabetHoldsACatalogue) {
    const fs::path folder = dir_ / fs::path(u8"Dörte Ødegård");
    fs::create_directories(folder);
    fs::rename(WriteSmallCatalogue(), folder / "FirmwareUpdate.lng");
    Catalogue catalogue;
    ASSERT_EQ(catalogue.Open(folder / "FirmwareUpdate.lng", 3), CatalogueStatus::Open);
    EXPECT_EQ(catalogue.LoadText(280), "Échec");
}

TEST_F(CatalogueTest, AbsentNumbersAndNonLanguageColumnsGiveEmptyText) {
    const fs::path file = WriteSmallCatalogue();
    Catalogue catalogue;
    ASSERT_EQ(catalogue.Open(file, 1), CatalogueStatus::Open);
    EXPECT_EQ(catalogue.LoadText(12345), "");
    EXPECT_EQ(catalogue.LoadText(-1), "");

    for (const int column : {0, -4, 6, 1000}) {
        Catalogue other;
        ASSERT_EQ(other.Open(file, column), CatalogueStatus::Open);
        EXPECT_EQ(other.LoadText(800), "") << "column " << column;
    }
}

TEST_F(CatalogueTest, NullCellGivesEmptyText) {
    const fs::path file = WriteSmallCatalogue();
    Sql(file, "UPDATE CONTENTS SET German = NULL WHERE ID = 800;");
    Catalogue catalogue;
    ASSERT_EQ(catalogue.Open(file, 2), CatalogueStatus::Open);
    EXPECT_EQ(catalogue.LoadText(800), "");
    EXPECT_EQ(catalogue.LoadText(280), "Fehler");
}

TEST_F(CatalogueTest, EmptyOrMissingLanguagesTableIsError0001ButTextsStillLoad) {
    const fs::path file = WriteSmallCatalogue();
    Sql(file, "DELETE FROM LANGUAGES;");
    Catalogue catalogue;
    EXPECT_EQ(catalogue.Open(file, 1), CatalogueStatus::Error0001);
    EXPECT_EQ(catalogue.LoadText(800), "Next >");

    const auto message = CatalogueStatusMessage(CatalogueStatus::Error0001, catalogue, file);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->title, "Failed");
    EXPECT_EQ(message->text, "Failed 0001");
    EXPECT_EQ(message->icon, MessageIcon::Critical);
    EXPECT_EQ(message->buttons, MessageButtons::Ok);
    EXPECT_FALSE(message->endsProgram);

    Sql(file, "DROP TABLE LANGUAGES;");
    Catalogue again;
    EXPECT_EQ(again.Open(file, 2), CatalogueStatus::Error0001);
    EXPECT_EQ(again.LoadText(280), "Fehler");
}

TEST_F(CatalogueTest, MissingFileIsReportedAndNotCreated) {
    const fs::path file = dir_ / "FirmwareUpdate.lng";
    Catalogue catalogue;
    EXPECT_EQ(catalogue.Open(file, 1), CatalogueStatus::FileMissing);
    EXPECT_FALSE(catalogue.IsOpen());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(catalogue.LoadText(800), "");

    const auto message = CatalogueStatusMessage(CatalogueStatus::FileMissing, catalogue, file);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "The language catalogue " + file.string() + " is missing. Reinstall the program.");
    EXPECT_TRUE(message->endsProgram);
}

TEST_F(CatalogueTest, FilesThatAreNoCatalogueAreRefused) {
    const fs::path text = dir_ / "text.lng";
    std::ofstream(text) << "this is not a database, just some text that is long enough to be checked\n";
    Catalogue catalogue;
    EXPECT_EQ(catalogue.Open(text, 1), CatalogueStatus::NotACatalogue);
    EXPECT_FALSE(catalogue.IsOpen());
    EXPECT_EQ(catalogue.LoadText(800), "");
    const auto message = CatalogueStatusMessage(CatalogueStatus::NotACatalogue, catalogue, text);
    ASSERT_TRUE(message);
    EXPECT_NE(message->text.find(text.string()), std::string::npos);

    const fs::path empty = dir_ / "empty.lng";
    std::ofstream{empty};
    EXPECT_EQ(catalogue.Open(empty, 1), CatalogueStatus::NotACatalogue);
    EXPECT_EQ(fs::file_size(empty), 0u);  // opened read-only: nothing written into it

    const fs::path noContents = dir_ / "nocontents.lng";
    Sql(noContents, "CREATE TABLE LANGUAGES (CODE INTEGER); INSERT INTO LANGUAGES VALUES (5000);");
    EXPECT_EQ(catalogue.Open(noContents, 1), CatalogueStatus::NotACatalogue);

    EXPECT_EQ(catalogue.Open(dir_, 1), CatalogueStatus::NotACatalogue);
}

TEST_F(CatalogueTest, ReopeningAndClosing) {
    const fs::path file = WriteSmallCatalogue();
    Catalogue catalogue;
    ASSERT_EQ(catalogue.Open(file, 1), CatalogueStatus::Open);
    EXPECT_EQ(catalogue.Open(dir_ / "absent.lng", 1), CatalogueStatus::FileMissing);
    EXPECT_EQ(catalogue.LoadText(800), "");  // the earlier catalogue is closed, not reused
    ASSERT_EQ(catalogue.Open(file, 3), CatalogueStatus::Open);
    EXPECT_EQ(catalogue.LoadText(800), "Suivant >");
    catalogue.Close();
    EXPECT_FALSE(catalogue.IsOpen());
    EXPECT_EQ(catalogue.LoadText(800), "");
    EXPECT_EQ(CatalogueStatusMessage(CatalogueStatus::Open, catalogue, file), std::nullopt);
}

// How often a text names each of the caller's values %1 and %2.
std::pair<int, int> Placeholders(const std::string& text) {
    std::pair<int, int> count;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == '1') ++count.first;
        if (at + 1 < text.size() && text[at + 1] == '2') ++count.second;
    }
    return count;
}

TEST(BundleCatalogue, HoldsEveryRequiredTextInEveryLanguageWithTheSameValuesFilledIn) {
    const fs::path file = VERNO_BUNDLE_CATALOGUE;
    Catalogue english;
    ASSERT_EQ(english.Open(file, 1), CatalogueStatus::Open) << file;
    for (int column = 1; column <= kLanguageCount; ++column) {
        Catalogue catalogue;
        ASSERT_EQ(catalogue.Open(file, column), CatalogueStatus::Open) << file;
        for (const int n : text::kAll) {
            EXPECT_FALSE(catalogue.LoadText(n).empty()) << "text " << n << ", column " << column;
            // A translation that drops a path or a reason leaves the user without it.
            EXPECT_EQ(Placeholders(catalogue.LoadText(n)), Placeholders(english.LoadText(n)))
                << "text " << n << ", column " << column;
        }
    }
    EXPECT_EQ(english.LoadText(800), "Next >");
    EXPECT_EQ(english.LoadText(783) + " VERNO 1B!", "This dive computer is not a VERNO 1B!");
}

TEST(BundleCatalogue, LookupsUseTheIdIndex) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(VERNO_BUNDLE_CATALOGUE, &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* plan = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "EXPLAIN QUERY PLAN SELECT * FROM CONTENTS WHERE ID = 800 LIMIT 1", -1, &plan,
                                 nullptr),
              SQLITE_OK);
    std::string detail;
    while (sqlite3_step(plan) == SQLITE_ROW) detail += reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
    sqlite3_finalize(plan);
    sqlite3_close(db);
    EXPECT_NE(detail.find("USING INDEX ID"), std::string::npos) << detail;
}

}  // namespace
}  // namespace verno::catalogue
