#include "upgrade/new_database_check.h"

#include <cerrno>

#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/file_system.h"
#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "store/jet/check/database_check.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel::upgrade {

namespace {
constexpr const char16_t* kCurrentVersion = u"1.3";
}  // namespace

// A new database whose creation failed part way may lack its Version row; moving it into
// the cookbook's place would give a cookbook without a version marker, so it counts as missing.
void requireVersionRow(dao::Database& target) {
    auto version = target.OpenRecordset(u"Version", dao::dbOpenSnapshot);
    if (version->RecordCount() == 0)
        throw Failure(failure::kNoCurrentRecord, "No current record: the new database " + target.Name().string() +
                                             " has no row in its table 'Version'.");
    version->Close();
}

// The new database must pass the structural check before any file is moved; strictly, since
// this program wrote it.
void requireSoundStructure(const std::filesystem::path& database) {
    const auto report = jet::check::checkDatabaseFile(database, jet::check::CheckMode::Strict);
    if (report.clean()) return;
    throw Failure(failure::kCannotOpenDatabase,
                  "The new database failed its structural check (" + std::to_string(report.faults.size()) +
                      " faults; the first: " + report.faults.front() + "). The cookbook was not changed.");
}

FileIdentity identityOf(const std::filesystem::path& path) {
    const auto identity = platform::fileIdentity(path);
    if (!identity) throw platform::FileError("find", path, ENOENT);
    return *identity;
}

// A run moves only the database it created and filled itself: one that another program put at
// the temporary path during the copy is never moved into the cookbook's place.
void requireSameDatabase(const std::filesystem::path& database, const FileIdentity& filled) {
    if (platform::fileIdentity(database) == filled) return;
    throw Failure(failure::kFileInUse, "Could not use " + platform::shownPath(database) +
                                  ": another program replaced or removed the new database while it was being "
                                  "filled. The cookbook was not changed.");
}

// The new database gets the version marker "1.3" while it still lies in the program's folder, so
// that the file at the cookbook's path is never written in place and the structural check sees
// the database exactly as it will lie there. The stamp's own procedures are silent; what the file
// now holds is read back, so that a new database whose stamp failed is never put in the cookbook's place with a success message.
void stampVersion(const std::u16string& DataTo) {
    dbFunction::OpenCookbook(DataTo);
    dbFunction::StampCurrentVersion();
    dbFunction::CloseCookbook();
    auto database = dao::DBEngine::Instance().OpenDatabase(platform::pathOfText(DataTo));
    auto version = database->OpenRecordset(u"Version", dao::dbOpenSnapshot);
    const std::u16string marker = version->EOF_() ? u"" : version->Fields(u"Version").Value().toText();
    version->Close();
    database->Close();
    if (marker == kCurrentVersion) return;
    throw Failure(failure::kCannotOpenDatabase, "The new database " + platform::shownPath(platform::pathOfText(DataTo)) +
                                               " could not be stamped with version 1.3 (it reads \"" +
                                               text::toUtf8(marker) + "\"). The cookbook was not changed.");
}


}  // namespace zestrel::upgrade
