// A database created here holds what the genuine engine puts into every new
// database, field by field as in the Jet 3 fixtures the engine wrote: the
// header's masked region, the system tables' definitions (columns, indexes,
// logical indexes, the count of each index's distinct keys), the engine's
// catalog rows and access rights, property blocks on long-value pages, and
// catalog index keys that are byte for byte the engine's.
#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/jet/data_page.h"
#include "store/jet/database_file.h"
#include "store/jet/header_page.h"
#include "store/jet/index_page_builder.h"
#include "store/jet/long_value.h"
#include "store/jet/row_decoder.h"
#include "support/fixtures.h"
#include "support/index_leaves.h"
#include "support/stored_rows.h"
#include "text/utf8.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const Format& kJet3 = formatFor(JetVersion::Jet3);

Bytes page(const fs::path& file, std::uint32_t number) {
    std::ifstream in(file, std::ios::binary);
    Bytes bytes(kJet3.pageSize);
    in.seekg(static_cast<std::streamoff>(number) * kJet3.pageSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

Bytes plainMaskedRegion(const fs::path& file) {
    Bytes header = page(file, 0);
    applyHeaderMask(header, kJet3);
    return {header.begin() + kMaskedRegionOffset, header.begin() + kMaskedRegionOffset + kJet3.maskedRegionLength};
}

// A definition's bytes with what differs by nature blanked: row counts, page pointers,
// and the fixed offsets of variable-length columns (left uninitialised by the engine).
Bytes comparableDefinition(const fs::path& file, std::uint32_t number) {
    Bytes b = page(file, number);
    const std::uint16_t columns = readU16(b, kJet3.tdefColumnCountOffset);
    const std::uint32_t realIndexes = readU32(b, kJet3.tdefRealIndexCountOffset);
    const std::size_t end = readU32(b, 8);
    auto blank = [&](std::size_t at, std::size_t n) { std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), n, 0); };
    blank(kJet3.tdefRowCountOffset, 4);
    blank(kJet3.tdefUsageMapOffset, 8);
    std::size_t at = kJet3.tdefColumnsStart;
    for (std::uint32_t i = 0; i < realIndexes; ++i, at += 8) blank(at + 4, 4);
    for (std::uint16_t i = 0; i < columns; ++i, at += kJet3.columnEntrySize)
        if (!(b[at + kJet3.colFlagsOffset] & kColumnFixed)) blank(at + kJet3.colFixedOffset, 2);
    for (std::uint16_t i = 0; i < columns; ++i) at += 1u + b[at];
    for (std::uint32_t i = 0; i < realIndexes; ++i, at += kJet3.realIndexDefinitionSize) {
        for (std::size_t slot = 0; slot < 10; ++slot)
            if (readU16(b, at + 3 * slot) == 0xFFFF) blank(at + 3 * slot + 2, 1);  // order byte of an unused slot
        blank(at + 30, 8);
    }
    const std::uint32_t logical = readU32(b, kJet3.tdefIndexCountOffset);
    at += logical * kJet3.logicalIndexSize;
    for (std::uint32_t i = 0; i < logical; ++i) at += 1u + b[at];
    for (; at + 2 <= end && readU16(b, at) != 0xFFFF; at += 10) blank(at + 2, 8);  // long-value usage maps
    b.resize(end);
    return b;
}

// "" when equal, else where the first difference is.
std::string difference(const Bytes& ours, const Bytes& theirs) {
    const std::size_t n = std::min(ours.size(), theirs.size());
    for (std::size_t i = 0; i < n; ++i)
        if (ours[i] != theirs[i])
            return "offset " + std::to_string(i) + ": ours " + std::to_string(ours[i]) + ", theirs " +
                   std::to_string(theirs[i]);
    return ours.size() == theirs.size()
               ? ""
               : "lengths " + std::to_string(ours.size()) + " and " + std::to_string(theirs.size());
}

// Catalog index keys by row name: the key bytes of every entry of a table's first index.
std::map<std::u16string, Bytes> catalogKeys(const fs::path& file, std::size_t indexNumber) {
    auto db = DatabaseFile::open(file);
    const TableDefinition catalog = db->tableDefinition(u"MSysObjects");
    std::map<std::uint32_t, std::u16string> nameAt;
    for (const auto& row : test::readRows(*db, catalog))
        nameAt[row.location.encode()] = std::get<std::u16string>(row.values[catalog.positionOf(2)]);
    const Bytes leaf = page(file, catalog.realIndexes.at(indexNumber).firstPage);
    std::vector<std::size_t> starts{kJet3IndexEntriesOffset};
    for (std::size_t bit = 1; kJet3IndexEntriesOffset + bit < kJet3.pageSize; ++bit)
        if (leaf[kJet3IndexMaskOffset + bit / 8] & (1u << (bit % 8))) starts.push_back(kJet3IndexEntriesOffset + bit);
    std::map<std::u16string, Bytes> keys;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const Bytes entry(leaf.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                          leaf.begin() + static_cast<std::ptrdiff_t>(starts[i + 1]));
        const std::size_t n = entry.size();
        const RowPointer row{static_cast<std::uint32_t>(entry[n - 4] << 16 | entry[n - 3] << 8 | entry[n - 2]),
                             entry[n - 1]};
        keys[nameAt.at(row.encode())] = Bytes(entry.begin(), entry.end() - 4);
    }
    return keys;
}

class NewDatabaseLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = test::makeTempDir("layout");
        created_ = dir_ / "new.mdb";
        auto db = dao::DBEngine::Instance().CreateDatabase(created_, dao::dbLangGeneral, dao::dbVersion30);
        auto td = db->CreateTableDef(u"Recipe");
        auto name = td->CreateField(u"Name", dao::type::dbText, 255);
        name->AllowZeroLength(true);  // a property block in the catalog
        td->Fields().Append(name);
        db->TableDefs().Append(td);
        db->Close();
    }
    static void TearDownTestSuite() { test::checkAndRemoveTempDir(dir_); }
    void SetUp() override {
        ZESTREL_REQUIRE_SHARED();
        for (const auto& f : test::jetFixtures())
            if (f.filename().string().find("V1997") != std::string::npos) fixtures_.push_back(f);
        ASSERT_FALSE(fixtures_.empty());
    }
    static fs::path dir_;
    static fs::path created_;
    std::vector<fs::path> fixtures_;
};

fs::path NewDatabaseLayout::dir_;
fs::path NewDatabaseLayout::created_;

TEST_F(NewDatabaseLayout, HeaderMaskedRegionIsTheEngines) {
    for (const auto& fixture : fixtures_) EXPECT_EQ(plainMaskedRegion(created_), plainMaskedRegion(fixture)) << fixture;
    const Bytes header = page(created_, 0);
    EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 19), "Standard Jet DB");
    EXPECT_EQ(header[kVersionOffset], 0x00);  // Jet 3
}

TEST_F(NewDatabaseLayout, SystemTableDefinitionsAreTheEngines) {
    for (std::uint32_t number : {2u, 3u, 4u, 5u})
        for (const auto& fixture : fixtures_)
            EXPECT_EQ(difference(comparableDefinition(created_, number), comparableDefinition(fixture, number)), "")
                << "definition page " << number << " against " << fixture;
}

TEST_F(NewDatabaseLayout, GlobalUsageMapPageIsShapedLikeTheEngines) {
    for (const auto& fixture : fixtures_) {
        const Bytes ours = page(created_, 1);
        const Bytes theirs = page(fixture, 1);
        EXPECT_EQ(Bytes(ours.begin(), ours.begin() + 10), Bytes(theirs.begin(), theirs.begin() + 10));
        EXPECT_EQ(rowBytes(ours, kJet3, 0).size(), rowBytes(theirs, kJet3, 0).size());
        EXPECT_EQ(rowBytes(ours, kJet3, 1).size(), rowBytes(theirs, kJet3, 1).size());
    }
}

TEST_F(NewDatabaseLayout, EngineCatalogRowsAndRightsAreTheEngines) {
    auto ours = DatabaseFile::open(created_);
    const auto ourCatalog = test::readRows(*ours, ours->tableDefinition(u"MSysObjects"));
    const auto ourRights = test::readRows(*ours, ours->tableDefinition(u"MSysACEs"));
    for (const auto& fixture : fixtures_) {
        auto theirs = DatabaseFile::open(fixture);
        const auto theirCatalog = test::readRows(*theirs, theirs->tableDefinition(u"MSysObjects"));
        for (const auto& row : ourCatalog) {
            const auto& name = std::get<std::u16string>(row.values[2]);
            if (name == u"Recipe") continue;
            auto same = std::find_if(theirCatalog.begin(), theirCatalog.end(),
                                     [&](const StoredRow& r) { return r.values[2] == row.values[2]; });
            ASSERT_NE(same, theirCatalog.end()) << text::toUtf8(name);
            for (std::size_t column : {0u, 1u, 3u, 6u, 7u})  // Id, ParentId, Type, Owner, Flags
                EXPECT_EQ(row.values[column], same->values[column]) << text::toUtf8(name) << " column " << column;
        }
        const auto theirRights = test::readRows(*theirs, theirs->tableDefinition(u"MSysACEs"));
        for (const auto& right : ourRights) {
            if (std::get<std::int32_t>(right.values[0]) == 18) continue;  // our Recipe table
            const bool found = std::any_of(theirRights.begin(), theirRights.end(),
                                           [&](const StoredRow& r) { return r.values == right.values; });
            EXPECT_TRUE(found) << "right for object " << std::get<std::int32_t>(right.values[0]);
        }
    }
}

TEST_F(NewDatabaseLayout, CatalogIndexKeysAreTheEngines) {
    for (std::size_t index : {0u, 1u}) {
        const auto ours = catalogKeys(created_, index);
        EXPECT_EQ(ours.size(), 9u);  // every catalog row has its entry
        for (const auto& fixture : fixtures_) {
            int compared = 0;
            for (const auto& [name, key] : catalogKeys(fixture, index)) {
                if (!ours.count(name)) continue;
                EXPECT_EQ(ours.at(name), key) << text::toUtf8(name) << " in index " << index << " of " << fixture;
                ++compared;
            }
            EXPECT_GE(compared, 8) << fixture;
        }
    }
}

// The catalog's property blocks (LvProp) lie on long-value pages, never in the row, whatever their
// size: so in every genuine file here, nwind97's 81 blocks of 42 bytes and more included.
TEST_F(NewDatabaseLayout, CatalogPropertyBlocksAreOnLongValuePages) {
    std::vector<fs::path> files = fixtures_;
    files.push_back(created_);
    if (fs::exists(test::jetFixturesDir() / "nwind97.mdb")) files.push_back(test::jetFixturesDir() / "nwind97.mdb");
    for (const auto& file : files) {
        auto db = DatabaseFile::open(file);
        const TableDefinition catalog = db->tableDefinition(u"MSysObjects");
        const auto properties = std::find_if(catalog.columns.begin(), catalog.columns.end(),
                                             [](const ColumnDefinition& c) { return c.name == u"LvProp"; });
        ASSERT_NE(properties, catalog.columns.end());
        const ColumnLocator locate(catalog, db->format(),
                                   static_cast<std::size_t>(properties - catalog.columns.begin()));
        std::size_t blocks = 0;
        db->forEachRow(catalog, [&](RowPointer at, std::span<const std::uint8_t> row) {
            const FieldLocation field = locate(row);
            if (field.isNull) return;
            ++blocks;
            ASSERT_GE(field.bytes.size(), kLongValueFieldSize);
            EXPECT_EQ(field.bytes[3] & kLongValueInline, 0)
                << "row " << at.page << ":" << int(at.row) << " of " << file;
        });
        EXPECT_GT(blocks, 0u) << file;
    }
}

// The second counter of each physical index is the number of distinct keys its leaves hold, as
// in the genuine files (nwind97's user tables: Customers 69, 91, 87, 91 and 19 ...); MSysACEs
// holds several rows for one object.
TEST_F(NewDatabaseLayout, IndexCountersHoldTheNumberOfDistinctKeys) {
    std::vector<std::pair<fs::path, bool>> files{{created_, true}};  // with the system tables
    if (fs::exists(test::jetFixturesDir() / "nwind97.mdb"))
        files.emplace_back(test::jetFixturesDir() / "nwind97.mdb", false);
    for (const auto& [file, systemTables] : files) {
        auto db = DatabaseFile::open(file);
        std::size_t indexes = 0;
        for (const auto& entry : db->catalog().tables(true)) {
            if (entry.isSystem() != systemTables) continue;
            const TableDefinition table = db->tableDefinition(entry.name);
            for (std::size_t i = 0; i < table.realIndexes.size(); ++i, ++indexes) {
                std::set<std::vector<std::uint8_t>> distinct;
                for (const auto& e : test::jet3IndexEntries(db->pages(), table.realIndexes[i].firstPage))
                    distinct.insert(e.key);
                EXPECT_EQ(test::jet3IndexKeyCounter(db->pages(), table.page, i), distinct.size())
                    << text::toUtf8(entry.name) << " index " << i << " of " << file;
            }
        }
        EXPECT_GE(indexes, 7u) << file;
    }
}

}  // namespace
}  // namespace zestrel::jet
