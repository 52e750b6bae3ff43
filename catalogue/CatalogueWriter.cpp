#include "catalogue/CatalogueWriter.h"

#include <sqlite3.h>

namespace verno::catalogue {

namespace {

class Db {
public:
    ~Db() { sqlite3_close(db); }
    sqlite3* db = nullptr;

    bool Exec(const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    std::string Error() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
};

std::string Write(const TextsSource& source, const std::filesystem::path& file) {
    Db out;
    const std::u8string name = file.u8string();  // SQLite takes UTF-8 names; a Windows path is wide
    if (sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &out.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return "cannot create " + file.string() + ": " + out.Error();

    std::string create = "CREATE TABLE CONTENTS (ID INTEGER NOT NULL";
    for (const char* column : kLanguageColumns) create += std::string(", ") + column + " TEXT";
    create += ");";
    if (!out.Exec("BEGIN;") || !out.Exec(create) || !out.Exec("CREATE UNIQUE INDEX \"ID\" ON CONTENTS (ID);") ||
        !out.Exec("CREATE TABLE LANGUAGES (CODE INTEGER NOT NULL, NAME TEXT NOT NULL);"))
        return out.Error();

    sqlite3_stmt* row = nullptr;
    if (sqlite3_prepare_v2(out.db, "INSERT INTO CONTENTS VALUES (?1, ?2, ?3, ?4, ?5, ?6)", -1, &row, nullptr) !=
        SQLITE_OK)
        return out.Error();
    for (const auto& [number, texts] : source.texts) {
        sqlite3_reset(row);
        sqlite3_bind_int(row, 1, number);
        for (int k = 0; k < kLanguageCount; ++k)
            sqlite3_bind_text(row, k + 2, texts[k].c_str(), static_cast<int>(texts[k].size()), SQLITE_TRANSIENT);
        if (sqlite3_step(row) != SQLITE_DONE) {
            sqlite3_finalize(row);
            return out.Error();
        }
    }
    sqlite3_finalize(row);

    sqlite3_stmt* language = nullptr;
    if (sqlite3_prepare_v2(out.db, "INSERT INTO LANGUAGES VALUES (?1, ?2)", -1, &language, nullptr) != SQLITE_OK)
        return out.Error();
    for (const LanguageInfo& info : kLanguages) {
        sqlite3_reset(language);
        sqlite3_bind_int(language, 1, info.code);
        sqlite3_bind_text(language, 2, info.name, -1, SQLITE_STATIC);
        if (sqlite3_step(language) != SQLITE_DONE) {
            sqlite3_finalize(language);
            return out.Error();
        }
    }
    sqlite3_finalize(language);
    if (!out.Exec("COMMIT;")) return out.Error();
    return {};
}

}  // namespace

std::string WriteCatalogue(const TextsSource& source, const std::filesystem::path& file) {
    if (!source.ok()) return source.error;
    // Build beside the target and rename, so an interrupted build never leaves half a catalogue.
    std::filesystem::path partial = file;
    partial += ".partial";
    std::error_code ec;
    std::filesystem::remove(partial, ec);
    std::string error = Write(source, partial);
    if (error.empty()) {
        std::filesystem::rename(partial, file, ec);
        if (ec) error = "cannot replace " + file.string() + ": " + ec.message();
    }
    if (!error.empty()) std::filesystem::remove(partial, ec);
    return error;
}

}  // namespace verno::catalogue
