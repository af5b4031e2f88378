// Writes rows of the shape of a cookbook's Ingredient table through the
// data-access objects into a new database, and reports rows per second and
// file bytes per row.
//   write_ingredients FILE [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"

using namespace zestrel::dao;

namespace {

void defineIngredient(Database& db) {
    struct Column {
        const char16_t* name;
        int type;
        long size;
    };
    const Column columns[] = {
        {u"Amount", type::dbText, 20},    {u"Measure", type::dbText, 80},   {u"Ingredient", type::dbText, 255},
        {u"PrepComment", type::dbText, 255}, {u"Name", type::dbText, 255}, {u"ItemNo", type::dbText, 5},
        {u"rID", type::dbText, 50},       {u"Weights", type::dbText, 80},   {u"Link", type::dbLong, 4},
        {u"Factor", type::dbDouble, 8},   {u"MEID", type::dbLong, 4},       {u"Cost", type::dbCurrency, 8},
        {u"CostUnit", type::dbText, 50}};
    auto td = db.CreateTableDef(u"Ingredient");
    for (const auto& c : columns) {
        auto field = td->CreateField(c.name, c.type, c.size);
        field->AllowZeroLength(c.type == type::dbText);
        td->Fields().Append(field);
    }
    db.TableDefs().Append(td);
}

std::u16string number(long value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: write_ingredients FILE [ROWS]\n");
        return 2;
    }
    const std::filesystem::path path = argv[1];
    const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    try {
        std::filesystem::remove(path);
        const auto start = std::chrono::steady_clock::now();
        auto db = DBEngine::Instance().CreateDatabase(path, dbLangGeneral, dbVersion30);
        defineIngredient(*db);
        auto rs = db->OpenRecordset(u"Ingredient", dbOpenDynaset);
        for (long i = 0; i < rows; ++i) {
            rs->AddNew();
            rs->Collect(u"Amount") = Variant(static_cast<double>(i % 7) + 0.5);
            rs->Collect(u"Measure") = Variant(u"cup");
            rs->Collect(u"Ingredient") = Variant(u"all-purpose flour, sifted");
            rs->Collect(u"PrepComment") = Variant(u"");
            rs->Collect(u"Name") = Variant(u"Buttermilk Pancakes");
            rs->Collect(u"ItemNo") = Variant(number(i % 20 + 1));
            rs->Collect(u"rID") = Variant(number(i / 10));
            rs->Collect(u"Factor") = Variant(1.0);
            rs->Collect(u"Cost") = Variant(zestrel::jet::Currency{12500});
            rs->Update(dbUpdateRegular, false);
        }
        rs->Close();
        db->Close();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto bytes = std::filesystem::file_size(path);
        std::printf("rows: %ld\nseconds: %.3f\nrows per second: %.0f\nfile bytes per row: %.1f\n", rows, seconds,
                    static_cast<double>(rows) / seconds, static_cast<double>(bytes) / static_cast<double>(rows));
    } catch (const zestrel::Failure& f) {
        std::fprintf(stderr, "%d - %s\n", f.number(), f.description().c_str());
        return 1;
    }
    return 0;
}
