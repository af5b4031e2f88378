#include "store/frm_main_base.h"

#include "store/dao/db_engine.h"
#include "platform/path_text.h"
#include "store/failure_text.h"

namespace zestrel {

std::int32_t FrmMainBase::countRows(const std::u16string& sdbf, const char16_t* table) {
    auto db = dao::DBEngine::Instance().OpenDatabase(platform::pathOfText(sdbf));
    auto rs = db->OpenRecordset(table, dao::dbOpenSnapshot);
    std::int32_t count = 0;
    const bool eof = rs->EOF_();
    const bool bof = rs->BOF();
    if (!eof || !bof) {
        rs->MoveFirst();
        rs->MoveLast();
        count = static_cast<std::int32_t>(rs->RecordCount());
    }
    rs->Close();
    db->Close();
    return count;
}

void FrmMainBase::GetRecCount(const std::u16string& sdbf) {
    lIngredCount = 0;
    lRecipeCount = 0;
    try {
        view_.doEvents();
        lRecipeCount = countRows(sdbf, u"Recipe");
        view_.doEvents();
        lIngredCount = countRows(sdbf, u"Ingred");
    } catch (...) {
        view_.messageBox(failureText(currentFailure()), platform::MsgIcon::Warning, u"Get Record Count");
    }
}

}  // namespace zestrel
