#include "store/dao/db_engine.h"

#include "platform/file.h"
#include "platform/path_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel::dao {

DBEngine& DBEngine::Instance() {
    static DBEngine engine;
    return engine;
}

std::shared_ptr<jet::DatabaseFile> DBEngine::shared(const std::filesystem::path& path) {
    std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
    if (const auto identity = platform::fileIdentity(path)) {
        if (auto file = open_[*identity].lock(); file && file->current()) return file;
    }
    auto file = jet::DatabaseFile::open(path);
    open_[file->identity()] = file;
    return file;
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::filesystem::path& path) {
    auto file = shared(path);
    if (file->header().hasPassword)
        throw Failure(failure::kNotAValidPassword,
                      "The database " + platform::shownPath(path) +
                          " is protected by a database password, which this program does not ask for. Remove the "
                          "password in the cookbook program (Tools, Security, Unset Database Password), then "
                          "upgrade. Nothing was changed.");
    return std::make_shared<Database>(std::move(file));
}

std::shared_ptr<Database> DBEngine::OpenForInspection(const std::filesystem::path& path,
                                                      std::optional<std::uint16_t> codePage) {
    if (codePage) return std::make_shared<Database>(jet::DatabaseFile::open(path, codePage));
    return std::make_shared<Database>(shared(path));
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::filesystem::path& path, const std::u16string& locale,
                                                   long option) {
    if (option != dbVersion30)
        throw Failure(failure::kInvalidArgument, "Invalid argument: this program creates only the 3.0 file format "
                                                 "(option 32), not option " + std::to_string(option) + ".");
    if (locale != dbLangGeneral)
        throw Failure(failure::kInvalidArgument, "Invalid argument: this program creates only databases with the "
                                                 "General sort order (\";LANGID=0x0409;CP=1252;COUNTRY=0\"), not \"" +
                                                     text::toUtf8(locale) + "\".");
    auto file = jet::DatabaseFile::create(path);
    open_[file->identity()] = file;
    return std::make_shared<Database>(file);
}

}  // namespace zestrel::dao
