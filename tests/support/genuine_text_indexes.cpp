#include "support/genuine_text_indexes.h"

#include <algorithm>

#include "store/jet/row_decoder.h"
#include "support/fixtures.h"
#include "support/index_leaves.h"
#include "support/stored_rows.h"
#include "text/utf8.h"

namespace zestrel::test {

namespace {

bool hasTextColumn(const jet::TableDefinition& table, const jet::RealIndexDefinition& index) {
    return std::any_of(index.columns.begin(), index.columns.end(), [&](std::uint16_t number) {
        const std::size_t position = table.positionOf(number);
        return position < table.columns.size() && table.columns[position].type == jet::ColumnType::Text;
    });
}

GenuineTextIndex readIndex(jet::DatabaseFile& db, const std::filesystem::path& file, const jet::TableDefinition& table,
                           std::size_t number) {
    const jet::RealIndexDefinition& index = table.realIndexes[number];
    GenuineTextIndex out{file.filename().string() + ", " + text::toUtf8(table.name) + ", index " + std::to_string(number),
                         file, table.name, {}, index.descending, {}};
    std::vector<jet::ColumnLocator> locators;
    for (std::uint16_t column : index.columns) {
        out.positions.push_back(table.positionOf(column));
        locators.emplace_back(table, db.format(), out.positions.back());
    }
    std::vector<std::uint8_t> row;
    for (auto& entry : jet3IndexEntries(db.pages(), index.firstPage)) {
        test::copyRow(db, entry.row, row);
        GenuineIndexEntry keyed{std::move(entry.key), {}, entry.row};
        for (std::size_t i = 0; i < locators.size(); ++i)
            keyed.values.push_back(db.decodeField(locators[i](row), table.columns[out.positions[i]]));
        out.entries.push_back(std::move(keyed));
    }
    return out;
}

}  // namespace

std::vector<GenuineTextIndex> genuineTextIndexes() {
    std::vector<GenuineTextIndex> indexes;
    for (const auto& file : jetFixtures()) {
        auto db = jet::DatabaseFile::open(file);
        if (db->format().version != jet::JetVersion::Jet3) continue;
        for (const auto& entry : db->catalog().tables(true)) {
            const jet::TableDefinition table = db->tableDefinition(entry.name);
            for (std::size_t i = 0; i < table.realIndexes.size(); ++i)
                if (hasTextColumn(table, table.realIndexes[i])) indexes.push_back(readIndex(*db, file, table, i));
        }
    }
    return indexes;
}

}  // namespace zestrel::test
