#include "store/db_function.h"

#include "store/dao/db_engine.h"
#include "platform/path_text.h"
#include "store/failure_text.h"

namespace zestrel::dbFunction {

std::shared_ptr<dao::Database> dbCookbook;
std::unique_ptr<dao::Recordset> rsCookbook;

dao::Database& cookbook() {
    if (!dbCookbook) throw Failure(failure::runtime::kObjectNotSet, "Object variable or With block variable not set: no cookbook is open.");
    return *dbCookbook;
}

void OpenCookbook(const std::u16string& path) {
    try {
        auto& engine = dao::DBEngine::Instance();  // created on first use
        dbCookbook = engine.OpenDatabase(platform::pathOfText(path));
    } catch (const std::exception&) {
        // The only trace of a failed open: the handle keeps what it held.
    }
}

void CloseCookbook() {
    try {
        if (dbCookbook) dbCookbook->Close();
    } catch (const std::exception&) {
        // A failed close still empties the handle.
    }
    dbCookbook.reset();
}

std::u16string ReadCookbookVersion() {
    std::unique_ptr<dao::Recordset> rs;
    try {
        rs = cookbook().OpenRecordset(u"Version", dao::dbOpenSnapshot);
        const bool bof = rs->BOF();
        const bool eof = rs->EOF_();
        if (!bof || !eof) rs->MoveFirst();
        std::u16string version = rs->Fields(u"Version").Value().toText();  // no row or a null: a failure
        rs->Close();
        return version;
    } catch (const std::exception&) {
        return u"";
    }
}

void StampCurrentVersion() {
    try {
        auto rs = cookbook().OpenRecordset(u"Version", dao::dbOpenDynaset);
        const bool bof = rs->BOF();
        const bool eof = rs->EOF_();
        if (!bof || !eof) {
            rs->MoveFirst();
            rs->Edit();
            rs->Collect(u"Version") = dao::Variant(kCurrentVersion);
            rs->Update(dao::dbUpdateRegular, false);
        }
        rs->Close();
    } catch (const std::exception&) {
        // Silent: the cookbook stays as it was.
    }
}

}  // namespace zestrel::dbFunction
