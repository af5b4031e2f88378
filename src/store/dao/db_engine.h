// The database engine object: one per process, created on first use and kept
// until the process ends; every database is opened through it.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "store/dao/database.h"

namespace zestrel::dao {

inline constexpr long dbVersion30 = 32;
inline constexpr const char16_t* dbLangGeneral = u";LANGID=0x0409;CP=1252;COUNTRY=0";

class DBEngine {
public:
    static DBEngine& Instance();

    // Opens an existing database. It is read now and written only when a write is asked for.
    // Opening a file that is open already shares that open file. A database that carries a
    // password is refused (3031), as the engine refuses it when no password is given.
    std::shared_ptr<Database> OpenDatabase(const std::filesystem::path& path);

    // Opens a database to look at it (tables, columns, rows), also one that carries a password,
    // as readers without the password do; Database::file().header().hasPassword tells. With
    // `codePage`, Jet 3 text is read in that code page whatever the file's header names (for a
    // header that names the wrong one); the file is then opened apart from every other open.
    std::shared_ptr<Database> OpenForInspection(const std::filesystem::path& path,
                                                std::optional<std::uint16_t> codePage = std::nullopt);

    // Creates a new, empty database and opens it. This engine writes what the system needs:
    // the 3.0 file format (option dbVersion30) with the General sort order (dbLangGeneral);
    // other options or locales fail (3001). An existing file at the path fails (3204) and is
    // left untouched; a folder that does not exist (3044) or cannot be written (3051) too.
    std::shared_ptr<Database> CreateDatabase(const std::filesystem::path& path, const std::u16string& locale,
                                             long option);

private:
    DBEngine() = default;
    // One open file, one engine copy of its pages: every open of the same file (by any path,
    // also after it was moved) shares it, as the engine shares a file between its databases.
    std::shared_ptr<jet::DatabaseFile> shared(const std::filesystem::path& path);
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::weak_ptr<jet::DatabaseFile>> open_;
};

}  // namespace zestrel::dao
