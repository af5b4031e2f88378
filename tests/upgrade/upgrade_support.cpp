#include "upgrade/upgrade_support.h"

#include <fstream>

#include "platform/file_system.h"
#include "store/dao/db_engine.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "support/stored_rows.h"

namespace zestrel::test {

namespace fs = std::filesystem;

std::vector<nlohmann::json> recipeRows(int n) {
    std::vector<nlohmann::json> rows;
    for (int k = 1; k <= n; ++k) rows.push_back({{"Name", "R" + std::to_string(k)}, {"rID", k}, {"Mark", false}});
    return rows;
}

std::vector<nlohmann::json> ingredientRows(int n) {
    std::vector<nlohmann::json> rows;
    for (int j = 1; j <= n; ++j) rows.push_back({{"Name", "I" + std::to_string(j)}, {"Amt", "1"}, {"rID", 1}});
    return rows;
}

bool isCompleteUpgrade(const fs::path& path, std::size_t recipes, std::size_t ingredients) {
    try {
        auto db = jet::DatabaseFile::open(path);
        if (readRows(*db, db->tableDefinition(u"Recipe")).size() != recipes ||
            readRows(*db, db->tableDefinition(u"Ingredient")).size() != ingredients ||
            readRows(*db, db->tableDefinition(u"Version")).size() != 1)
            return false;
        db.reset();
        auto database = dao::DBEngine::Instance().OpenDatabase(path);
        auto version = database->OpenRecordset(u"Version", dao::dbOpenSnapshot);
        const bool stamped = version->Fields(u"Version").Value().toText() == u"1.3";
        version->Close();
        database->Close();
        return stamped;
    } catch (const Failure&) {
        return false;
    }
}

void UpgradeTest::SetUp() {
    dir_ = makeTempDir("upgrade");
    program_ = dir_ / "program";
    fs::create_directory(program_);
    platform::setProgramFolder(program_);
}

void UpgradeTest::TearDown() {
    checkAndRemoveTempDir(dir_, {"tempdb.mdb"});
}

fs::path UpgradeTest::cookbook(const std::string& name, cli::OldLayout layout,
                               const std::vector<nlohmann::json>& recipes,
                               const std::vector<nlohmann::json>& ingredients) {
    cli::SampleOptions options;
    options.layout = layout;
    options.recipeRows = recipes;
    options.ingredientRows = ingredients;
    const fs::path path = dir_ / name;
    cli::writeSampleCookbook(path, options);
    return path;
}

fs::path UpgradeTest::customCookbook(
    const std::string& name, const std::vector<std::pair<std::u16string, std::vector<std::u16string>>>& tables) {
    const fs::path path = dir_ / name;
    auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
    for (const auto& [table, columns] : tables) {
        auto td = db->CreateTableDef(table);
        for (const auto& column : columns) td->Fields().Append(td->CreateField(column, dao::type::dbText, 255));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset(table, dao::dbOpenDynaset);
        rs->AddNew();
        for (const auto& column : columns) rs->Collect(column) = dao::Variant(u"1");
        rs->Update();
    }
    db->Close();
    return path;
}

RecordingView& UpgradeTest::run(const fs::path& path) {
    frmMain form(view_);
    form.Form_Load();
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    form.cmdUp_Click();
    return view_;
}

std::string UpgradeTest::bytesOf(const fs::path& path) { return test::fileBytes(path); }

std::vector<std::u16string> UpgradeTest::statusTexts() const {
    std::vector<std::u16string> texts;
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::Status)) texts.push_back(e.text);
    return texts;
}

std::vector<std::u16string> UpgradeTest::percentCaptions() const {
    std::vector<std::u16string> texts;
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::Percent)) texts.push_back(e.text);
    return texts;
}

std::vector<int> UpgradeTest::barValues() const {
    std::vector<int> values;
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::ProgressValue)) values.push_back(e.number);
    return values;
}

}  // namespace zestrel::test
