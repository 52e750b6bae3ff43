#pragma once
// The language catalogue: texts by number, in the language column chosen by the configuration
// record. An SQLite file with table CONTENTS (ID at position 0, one text column per language at
// positions 1, 2, ...) and table LANGUAGES (one row per language).

#include <filesystem>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace verno::catalogue {

enum class CatalogueStatus {
    Open,           // ready
    FileMissing,    // no file at that path
    NotACatalogue,  // not an SQLite database, or no usable CONTENTS table
    Error0001,      // CONTENTS opened but LANGUAGES is missing or empty; texts still load
};

class Catalogue {
public:
    Catalogue() = default;
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens the file read-only; never creates it. languageColumn is the 0-based position of the
    // language's column in CONTENTS (1 for the first language).
    CatalogueStatus Open(const std::filesystem::path& file, int languageColumn);

    // Text number n in the current language; empty for an absent number, an empty cell, a
    // column that is not a language column, or a closed catalogue.
    std::string LoadText(int n) const;

    void Close();
    bool IsOpen() const { return lookup_ != nullptr; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* lookup_ = nullptr;  // prepared once; every LoadText is one indexed seek
    int languageColumn_ = 1;
};

}  // namespace verno::catalogue
