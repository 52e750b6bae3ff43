#include "catalogue/Catalogue.h"

#include <sqlite3.h>

namespace verno::catalogue {

Catalogue::~Catalogue() { Close(); }

CatalogueStatus Catalogue::Open(const std::filesystem::path& file, int languageColumn) {
    Close();
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return CatalogueStatus::FileMissing;
    if (!std::filesystem::is_regular_file(file, ec)) return CatalogueStatus::NotACatalogue;

    // SQLite takes UTF-8 names on every system; a Windows path is wide.
    const std::u8string name = file.u8string();
    if (sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db_, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        Close();
        return CatalogueStatus::NotACatalogue;
    }
    // Windows locks a file being read for a moment: programs reading one catalogue side by side
    // (the bench's processes) wait their turn rather than take it for no catalogue.
    sqlite3_busy_timeout(db_, 2000);
    // Preparing reads the schema: this is where a file that is no database, or one without
    // CONTENTS, shows itself.
    if (sqlite3_prepare_v2(db_, "SELECT * FROM CONTENTS WHERE ID = ?1 LIMIT 1", -1, &lookup_, nullptr) !=
        SQLITE_OK) {
        Close();
        return CatalogueStatus::NotACatalogue;
    }
    languageColumn_ = languageColumn;

    sqlite3_stmt* languages = nullptr;
    bool hasLanguage = false;
    if (sqlite3_prepare_v2(db_, "SELECT 1 FROM LANGUAGES LIMIT 1", -1, &languages, nullptr) == SQLITE_OK)
        hasLanguage = sqlite3_step(languages) == SQLITE_ROW;
    sqlite3_finalize(languages);
    return hasLanguage ? CatalogueStatus::Open : CatalogueStatus::Error0001;
}

std::string Catalogue::LoadText(int n) const {
    if (lookup_ == nullptr) return {};
    std::string text;
    sqlite3_reset(lookup_);
    sqlite3_bind_int(lookup_, 1, n);
    if (sqlite3_step(lookup_) == SQLITE_ROW) {
        // Position 0 is the number itself, not a language.
        if (languageColumn_ >= 1 && languageColumn_ < sqlite3_column_count(lookup_)) {
            const unsigned char* cell = sqlite3_column_text(lookup_, languageColumn_);
            if (cell != nullptr)
                text.assign(reinterpret_cast<const char*>(cell),
                            static_cast<std::size_t>(sqlite3_column_bytes(lookup_, languageColumn_)));
        }
    }
    sqlite3_reset(lookup_);
    return text;
}

void Catalogue::Close() {
    sqlite3_finalize(lookup_);
    lookup_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

}  // namespace verno::catalogue
