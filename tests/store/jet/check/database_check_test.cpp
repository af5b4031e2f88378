// The structural check: every genuine file passes; faults planted in a file of
// ours are each found; the states the genuine engine leaves in its own files
// are notes, or faults when the check is strict; and our files keep the
// structures the genuine engine keeps in the same situation (global map, table
// maps, long-value pages, size limits), rule by rule against a genuine file
// where the rule shows.
#include <fstream>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/jet/check/database_check.h"
#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "store/jet/long_value.h"
#include "store/jet/row_layout.h"
#include "store/jet/system_tables.h"
#include "store/jet/usage_map.h"
#include "support/fixtures.h"
#include "support/stored_rows.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;

// ---- writing files of ours ----

// A table "Recipe" with a text, two memos and a number, `rows` rows with memos of the given lengths in turn.
void writeCookbookLike(const fs::path& path, int rows, const std::vector<std::size_t>& memoLengths) {
    auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
    auto td = db->CreateTableDef(u"Recipe");
    td->Fields().Append(td->CreateField(u"Name", dao::type::dbText, 50));
    for (const char16_t* memo : {u"Prep", u"Note"}) {
        auto field = td->CreateField(memo, dao::type::dbMemo, 0);
        field->AllowZeroLength(true);
        td->Fields().Append(field);
    }
    td->Fields().Append(td->CreateField(u"rID", dao::type::dbLong, 4));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset(u"Recipe", dao::dbOpenDynaset);
    for (int i = 0; i < rows; ++i) {
        const std::size_t length = memoLengths[static_cast<std::size_t>(i) % memoLengths.size()];
        rs->AddNew();
        rs->Collect(u"Name") = dao::Variant(u"Recipe " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
        rs->Collect(u"Prep") = dao::Variant(std::u16string(length, u'p'));
        rs->Collect(u"Note") = dao::Variant(std::u16string(length / 2, u'n'));
        rs->Collect(u"rID") = dao::Variant(i);
        rs->Update(dao::dbUpdateRegular, false);
    }
    rs->Close();
    db->Close();
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

constexpr std::size_t kPage = 2048;

// ---- reading structures ----

struct MapRow {
    std::uint8_t type = 0;
    std::uint32_t first = 0;
    std::size_t length = 0;
};

MapRow mapRow(DatabaseFile& db, RowPointer where) {
    auto row = rowBytes(db.pages().page(where.page), db.format(), where.row);
    return {row[0], row.size() >= 5 ? readU32(row, 1) : 0, row.size()};
}

TableDefinition definitionOf(DatabaseFile& db, const std::u16string& name) { return db.tableDefinition(name); }

class Check : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("check"); }
    void TearDown() override { test::checkAndRemoveTempDir(dir_, {"planted.mdb"}); }
    fs::path dir_;
};

// ---- genuine files pass ----

TEST(CheckGenuine, EveryGenuineFilePasses) {
    ZESTREL_REQUIRE_SHARED();
    const auto fixtures = test::jetFixtures();
    ASSERT_FALSE(fixtures.empty()) << "no genuine file to check in " << test::jetFixturesDir();
    for (const auto& file : fixtures) {
        const auto report = check::checkDatabaseFile(file);
        EXPECT_TRUE(report.clean()) << file << ": " << (report.faults.empty() ? "" : report.faults.front());
        EXPECT_GT(report.tablesChecked, 3u) << file;
        // The strict check counts only the engine's leftovers more, which these files do not hold.
        const auto strict = check::checkDatabaseFile(file, check::CheckMode::Strict);
        EXPECT_TRUE(strict.clean()) << file << ": " << (strict.faults.empty() ? "" : strict.faults.front());
    }
}

// ---- planted faults are found ----

struct Plant {
    const char* name;
    const char* expected;  // a word of the fault the check must report
    std::function<void(std::vector<std::uint8_t>&, DatabaseFile&)> damage;
};

std::uint32_t firstDataPageOf(DatabaseFile& db, const TableDefinition& table) {
    return readUsageMap(db.pages(), db.format(), table.usageMap).front();
}

const std::vector<Plant>& plants() {
    static const std::vector<Plant> all{
        {"FreeSpaceCountOffByOne", "free-space count",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             const std::uint32_t page = firstDataPageOf(db, definitionOf(db, u"Recipe"));
             writeU16(std::span(bytes).subspan(page * kPage), 2,
                      static_cast<std::uint16_t>(
                          readU16(std::span<const std::uint8_t>(bytes).subspan(page * kPage), 2) + 1));
         }},
        {"BitMissingFromOwnedMap", "does not list it",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             const auto table = definitionOf(db, u"Recipe");
             const std::uint32_t page = firstDataPageOf(db, table);
             const RowSlot slot = rowSlot(db.pages().page(table.usageMap.page), db.format(), table.usageMap.row);
             bytes[table.usageMap.page * kPage + slot.start + 5 + page / 8] &=
                 static_cast<std::uint8_t>(~(1u << (page % 8)));
         }},
        {"RowCountOffByOne", "counts",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             const auto table = definitionOf(db, u"Recipe");
             writeU32(std::span(bytes).subspan(table.page * kPage), 12, table.rowCount + 1);
         }},
        {"LongValuePageInTwoColumns", "columns",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             const auto table = definitionOf(db, u"Recipe");
             const auto& prep = table.longValueMaps.at(0);
             const auto& note = table.longValueMaps.at(1);
             const std::uint32_t page = readUsageMap(db.pages(), db.format(), prep.used).front();
             const RowSlot slot = rowSlot(db.pages().page(note.used.page), db.format(), note.used.row);
             bytes[note.used.page * kPage + slot.start + 5 + page / 8] |= static_cast<std::uint8_t>(1u << (page % 8));
         }},
        {"CatalogIndexEntriesSwapped", "out of key order",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             // The catalog's index on Id: entries of equal length (flag, four key bytes, row pointer).
             const auto catalog = readTableDefinition(db.pages(), db.format(), kMSysObjectsPage);
             const std::uint32_t leaf = catalog.realIndexes.at(1).firstPage;
             const std::size_t a = leaf * kPage + 0xF8;
             std::swap_ranges(bytes.begin() + static_cast<std::ptrdiff_t>(a),
                              bytes.begin() + static_cast<std::ptrdiff_t>(a + 9),
                              bytes.begin() + static_cast<std::ptrdiff_t>(a + 9));
         }},
        {"IndexNodeNamesItselfAsChild", "more than once",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             // The catalog's Id index root made a node page whose every entry leads back to it.
             const auto catalog = readTableDefinition(db.pages(), db.format(), kMSysObjectsPage);
             const std::uint32_t root = catalog.realIndexes.at(1).firstPage;
             const std::size_t at = root * kPage;
             bytes[at] = kPageIndexNode;
             for (std::size_t byte = 0x16; byte < 0xF8; ++byte)
                 for (unsigned bit = 0; bit < 8; ++bit)
                     if (bytes[at + byte] & (1u << bit)) {
                         const std::size_t end = at + 0xF8 + (byte - 0x16) * 8 + bit;
                         for (std::size_t i = 0; i < 4; ++i)
                             bytes[end - 4 + i] = static_cast<std::uint8_t>(root >> (8 * (3 - i)));
                     }
         }},
        {"TextColumnEndsPastItsRow", "cannot be decoded",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             // The first row of Recipe: the first variable-length column (a text, not a memo) is
             // made to start past the row's end, in the offset table's last byte before the count.
             const std::uint32_t page = firstDataPageOf(db, definitionOf(db, u"Recipe"));
             const RowSlot slot = rowSlot(db.pages().page(page), db.format(), 0);
             const std::size_t size = slot.end - slot.start;
             ASSERT_LT(size, 256u) << "a row with a jump table";
             const std::size_t columns = bytes[page * kPage + slot.start];
             const std::size_t firstOffset = size - 1 - (columns + 7) / 8 - 1;
             bytes[page * kPage + slot.start + firstOffset] = 0xFF;
         }},
        {"IndexLeafIsItsOwnNeighbour", "chain",
         [](std::vector<std::uint8_t>& bytes, DatabaseFile& db) {
             const auto catalog = readTableDefinition(db.pages(), db.format(), kMSysObjectsPage);
             const std::uint32_t leaf = catalog.realIndexes.at(1).firstPage;
             writeU32(std::span(bytes).subspan(leaf * kPage), 12, leaf);
         }},
    };
    return all;
}

class Planted : public Check, public ::testing::WithParamInterface<Plant> {};

// The files are ours, so the check is strict: a row count off by one is a fault of ours.
TEST_P(Planted, TheCheckFindsIt) {
    const fs::path path = dir_ / "planted.mdb";
    writeCookbookLike(path, 40, {10, 3000, 500});
    ASSERT_TRUE(check::checkDatabaseFile(path, check::CheckMode::Strict).clean());
    auto bytes = readBytes(path);
    {
        auto db = DatabaseFile::open(path);
        GetParam().damage(bytes, *db);
    }
    writeBytes(path, bytes);
    const auto report = check::checkDatabaseFile(path, check::CheckMode::Strict);
    ASSERT_FALSE(report.clean());
    const bool named = std::any_of(report.faults.begin(), report.faults.end(), [](const std::string& fault) {
        return fault.find(GetParam().expected) != std::string::npos;
    });
    EXPECT_TRUE(named) << "first fault: " << report.faults.front();
}

INSTANTIATE_TEST_SUITE_P(Faults, Planted, ::testing::ValuesIn(plants()),
                         [](const ::testing::TestParamInfo<Plant>& plant) { return std::string(plant.param.name); });

// A node page that names itself as the next page of its level, in a copy of a genuine file whose
// indexes have node pages.
TEST_F(Check, AnIndexNodePageThatNamesItselfAsItsNextPageIsAFault) {
    ZESTREL_REQUIRE_SHARED();
    const fs::path path = dir_ / "planted.mdb";
    test::copyFixtureFile(test::jetFixturesDir() / "nwind97.mdb", path);
    auto bytes = readBytes(path);
    std::optional<std::uint32_t> node;
    {
        auto db = DatabaseFile::open(path);
        for (const auto& entry : db->catalog().tables(false))
            for (const auto& index : db->tableDefinition(entry.name).realIndexes)
                if (!node && db->pages().page(index.firstPage)[0] == kPageIndexNode) node = index.firstPage;
    }
    ASSERT_TRUE(node) << "nwind97 has an index with node pages";
    ASSERT_TRUE(check::checkDatabaseFile(path).clean());
    writeU32(std::span(bytes).subspan(*node * kPage), 12, *node);
    writeBytes(path, bytes);
    const auto report = check::checkDatabaseFile(path);
    const std::string expected = "index page " + std::to_string(*node) + " names itself as its next page";
    EXPECT_TRUE(std::any_of(report.faults.begin(), report.faults.end(),
                            [&](const std::string& fault) { return fault.find(expected) != std::string::npos; }))
        << (report.faults.empty() ? "no fault" : report.faults.front());
}

// ---- what the genuine engine leaves in its own files and reads without complaint ----

// A row added to MSysRelationships without touching its indexes, each of which ignores nulls:
// `name` is the key of the first index; the other two index columns stay null.
void addRelationshipRow(const fs::path& path, const Value& name) {
    auto db = DatabaseFile::open(path);
    TableDefinition table = db->tableDefinition(u"MSysRelationships");
    std::vector<Value> values(table.columns.size(), Null{});
    values[0] = name;
    for (std::size_t column : {1u, 2u, 3u}) values[column] = std::int32_t{0};  // grbit, ccolumn, icolumn
    db->insertRow(table, RowLayout(table, db->format()), addressesOf(values));
    db->close();
}

// Appends a page that no structure names and that the global map does not mark free, as deleted
// rows and tables leave them until the file is compacted.
fs::path withLostPage(const fs::path& dir, const std::function<void(std::span<std::uint8_t>)>& fill) {
    const fs::path path = dir / "planted.mdb";
    writeCookbookLike(path, 40, {10, 3000});
    auto bytes = readBytes(path);
    const auto page = static_cast<std::uint32_t>(bytes.size() / kPage);
    bytes.resize(bytes.size() + kPage, 0);
    fill(std::span(bytes).subspan(page * kPage, kPage));
    {
        auto db = DatabaseFile::open(path);
        const auto mapPage = db->pages().page(1);
        const RowSlot slot = rowSlot(mapPage, db->format(), 0);
        const std::uint32_t bit = page - readU32(mapPage, slot.start + 1);
        EXPECT_LT(kUsageMapInlineHeader + bit / 8, slot.end - slot.start) << "the free-page map reaches the new page";
        bytes[kPage + slot.start + kUsageMapInlineHeader + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
    }
    writeBytes(path, bytes);
    return path;
}

struct Leftover {
    const char* name;
    const char* noted;  // a word of the note, and of the fault when strict; nullptr: simply correct
    std::function<std::optional<fs::path>(const fs::path& dir)> make;
};

const std::vector<Leftover>& leftovers() {
    static const std::vector<Leftover> all{
        // MSysACEs of a genuine file: 61 rows counted, 64 on its pages.
        {"StaleRowCount", "counts",
         [](const fs::path& dir) -> std::optional<fs::path> {
             const fs::path path = dir / "planted.mdb";
             writeCookbookLike(path, 40, {10});
             auto bytes = readBytes(path);
             const TableDefinition table = definitionOf(*DatabaseFile::open(path), u"Recipe");
             writeU32(std::span(bytes).subspan(table.page * kPage), 12, table.rowCount - 3);
             writeBytes(path, bytes);
             return path;
         }},
        // A Jet 4 page freed to type 0 that the global map no longer marks free.
        {"Jet4BlankPageNotMarkedFree", "type 0",
         [](const fs::path& dir) -> std::optional<fs::path> {
             const fs::path source = test::jetFixturesDir() / "delColTestV2000.mdb";
             if (!fs::exists(source)) return std::nullopt;
             const fs::path path = dir / "planted.mdb";
             fs::copy_file(source, path);
             auto bytes = readBytes(path);
             {
                 auto db = DatabaseFile::open(path);
                 const std::size_t size = db->format().pageSize;
                 const auto freePages = readUsageMap(db->pages(), db->format(), {1, 0}, PastEnd::Skip);
                 const auto mapPage = db->pages().page(1);
                 const RowSlot slot = rowSlot(mapPage, db->format(), 0);
                 const std::uint32_t page = freePages.at(0);
                 const std::uint32_t bit = page - readU32(mapPage, slot.start + 1);
                 bytes[size + slot.start + kUsageMapInlineHeader + bit / 8] &=
                     static_cast<std::uint8_t>(~(1u << (bit % 8)));
                 std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * size), size, 0);
             }
             writeBytes(path, bytes);
             return path;
         }},
        // A long-value page whose column was deleted, or whose value was, and that no map lists.
        {"LongValuePageOfNoColumn", "belongs to no column",
         [](const fs::path& dir) -> std::optional<fs::path> {
             return withLostPage(dir, [](std::span<std::uint8_t> page) {
                 page[0] = kPageData;
                 page[1] = 0x01;
                 writeU16(page, 2, kPage - 10);  // no rows: all but the header is free
                 std::copy_n("LVAL", 4, page.begin() + 4);
             });
         }},
        // An index page of a deleted index.
        {"PageNoMapOwns", "neither in use nor marked free",
         [](const fs::path& dir) -> std::optional<fs::path> {
             return withLostPage(dir, [](std::span<std::uint8_t> page) {
                 page[0] = kPageIndexLeaf;
                 page[1] = 0x01;
             });
         }},
        // An index that ignores nulls holds no entry for a row whose key is null.
        {"NullKeyOutsideAnIndexThatIgnoresNulls", nullptr,
         [](const fs::path& dir) -> std::optional<fs::path> {
             const fs::path path = dir / "planted.mdb";
             writeCookbookLike(path, 3, {10});
             addRelationshipRow(path, Null{});
             return path;
         }},
    };
    return all;
}

class EngineLeftover : public Check, public ::testing::WithParamInterface<Leftover> {};

TEST_P(EngineLeftover, IsANoteUnlessTheCheckIsStrict) {
    const auto path = GetParam().make(dir_);
    if (!path) GTEST_SKIP() << "the genuine Jet 4 fixture is not here";
    const auto lenient = check::checkDatabaseFile(*path);
    EXPECT_TRUE(lenient.clean()) << lenient.faults.front();
    const auto strict = check::checkDatabaseFile(*path, check::CheckMode::Strict);
    if (GetParam().noted == nullptr) {
        EXPECT_TRUE(strict.clean()) << strict.faults.front();
        return;
    }
    const auto mentions = [](const std::vector<std::string>& lines) {
        return std::any_of(lines.begin(), lines.end(),
                           [](const std::string& line) { return line.find(GetParam().noted) != std::string::npos; });
    };
    EXPECT_TRUE(mentions(lenient.notes));
    EXPECT_TRUE(mentions(strict.faults));
}

INSTANTIATE_TEST_SUITE_P(States, EngineLeftover, ::testing::ValuesIn(leftovers()),
                         [](const ::testing::TestParamInfo<Leftover>& leftover) {
                             return std::string(leftover.param.name);
                         });

// Ignoring nulls excuses only rows whose key is null: a row with a key missing from the index is
// a fault in any file.
TEST_F(Check, AnIndexThatIgnoresNullsStillHoldsEveryRowWithAKey) {
    const fs::path path = dir_ / "planted.mdb";
    writeCookbookLike(path, 3, {10});
    addRelationshipRow(path, std::u16string(u"Recipe to ingredient"));
    const auto report = check::checkDatabaseFile(path);
    ASSERT_EQ(report.faults.size(), 2u);  // the index's entry count, and the row without an entry
    EXPECT_NE(report.faults[0].find("'MSysRelationships', index 0"), std::string::npos) << report.faults[0];
    EXPECT_NE(report.faults[1].find("has 0 entries"), std::string::npos) << report.faults[1];
}

// ---- our files keep what the genuine engine keeps ----

// Past 1,024 pages: the free-page map on page 1 stays inline from page 0 and grows with the file
// (nwind97: 1,466 pages, a 189-byte row reaching page 1,472); the second map becomes a reference map.
TEST_F(Check, GlobalMapGrowsWithTheFileAsInTheGenuineLargeFile) {
    const fs::path ours = dir_ / "large.mdb";
    writeCookbookLike(ours, 700, {3000});
    std::vector<fs::path> files{ours};
    if (fs::exists(test::jetFixturesDir() / "nwind97.mdb")) files.push_back(test::jetFixturesDir() / "nwind97.mdb");
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        auto db = DatabaseFile::open(file);
        const std::uint32_t pages = db->pages().pageCount();
        ASSERT_GT(pages, 1024u);
        const MapRow freePages = mapRow(*db, {1, 0});
        EXPECT_EQ(freePages.type, kUsageMapInline);
        EXPECT_EQ(freePages.first, 0u);
        EXPECT_EQ(freePages.length - 5, (pages + 7) / 8);
        EXPECT_EQ(mapRow(*db, {1, 1}).type, kUsageMapIndirect);
    }
}

// Below 1,024 pages both rows of page 1 are 133-byte inline maps from page 0, as in testV1997.
TEST_F(Check, SmallFilesKeepPageOneAsTheGenuineSmallFiles) {
    const fs::path ours = dir_ / "small.mdb";
    writeCookbookLike(ours, 5, {10});
    std::vector<fs::path> files{ours};
    if (fs::exists(test::jetFixturesDir() / "testV1997.mdb")) files.push_back(test::jetFixturesDir() / "testV1997.mdb");
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        auto db = DatabaseFile::open(file);
        for (std::uint8_t row = 0; row < 2; ++row) {
            const MapRow map = mapRow(*db, {1, row});
            EXPECT_EQ(map.type, kUsageMapInline);
            EXPECT_EQ(map.first, 0u);
            EXPECT_EQ(map.length, 133u);
        }
    }
}

// A table past 1,024 pages: its free-space map stays inline and moves its window; its owned map
// stays inline while its page has room (nwind97's largest table: a 189-byte owned map, a
// free-space map starting at page 1,112).
TEST_F(Check, LargeTablesKeepInlineMapsAsTheGenuineEngine) {
    const fs::path ours = dir_ / "large.mdb";
    writeCookbookLike(ours, 16000, {60});
    auto db = DatabaseFile::open(ours);
    const auto table = db->tableDefinition(u"Recipe");
    const auto owned = readUsageMap(db->pages(), db->format(), table.usageMap);
    ASSERT_GT(owned.back(), 1024u);
    const MapRow ownedMap = mapRow(*db, table.usageMap);
    EXPECT_EQ(ownedMap.type, kUsageMapInline);
    EXPECT_GT(ownedMap.length, 133u);
    const MapRow freeMap = mapRow(*db, table.freeSpaceMap);
    EXPECT_EQ(freeMap.type, kUsageMapInline);
    EXPECT_EQ(freeMap.length, 133u);
    EXPECT_GT(freeMap.first, 0u);
    EXPECT_EQ(freeMap.first % 8, 0u);
}

// Every LVAL page is listed by exactly one column (the check's rule), and each memo column of ours
// owns pages of its own, as every memo column of nwind97 with long values does.
TEST_F(Check, EachMemoColumnOwnsItsLongValuePages) {
    const fs::path ours = dir_ / "memos.mdb";
    writeCookbookLike(ours, 30, {500, 2000});
    auto db = DatabaseFile::open(ours);
    const auto table = db->tableDefinition(u"Recipe");
    ASSERT_EQ(table.longValueMaps.size(), 2u);
    std::set<std::uint32_t> seen;
    for (const auto& maps : table.longValueMaps) {
        const auto pages = readUsageMap(db->pages(), db->format(), maps.used);
        EXPECT_FALSE(pages.empty());
        for (std::uint32_t page : pages) EXPECT_TRUE(seen.insert(page).second) << "page " << page;
    }
}

// No page of rows is filled to its last byte, as none of nwind97's is; long-value pages may be.
TEST_F(Check, PagesOfRowsKeepAByteFreeAsTheGenuineEngines) {
    const Format& f = formatFor(JetVersion::Jet3);
    const std::size_t room = f.pageSize - f.dataPageHeaderSize - 2;  // one row and its slot
    std::vector<std::uint8_t> rows(f.pageSize);
    std::vector<std::uint8_t> values(f.pageSize);
    initDataPage(rows, f, 7);
    initLongValuePage(values, f);
    const std::vector<std::uint8_t> full(room, 0x55);
    EXPECT_FALSE(appendRow(rows, f, full));
    EXPECT_TRUE(appendRow(values, f, full));
    EXPECT_EQ(freeSpaceOf(values, f), 0u);
    ASSERT_TRUE(appendRow(rows, f, std::span(full).first(room - 1)));
    EXPECT_EQ(freeSpaceOf(rows, f), 1u);
    EXPECT_FALSE(replaceRow(rows, f, 0, full, 0));

    if (!fs::exists(test::jetFixturesDir() / "nwind97.mdb")) return;
    auto genuine = DatabaseFile::open(test::jetFixturesDir() / "nwind97.mdb");
    std::size_t pagesOfRows = 0;
    for (std::uint32_t n = 0; n < genuine->pages().pageCount(); ++n) {
        const auto page = genuine->pages().page(n);
        if (page[0] != kPageData || std::equal(page.begin() + 4, page.begin() + 8, "LVAL")) continue;
        ++pagesOfRows;
        EXPECT_GT(freeSpaceOf(page, f), 0u) << "page " << n;
    }
    EXPECT_GT(pagesOfRows, 500u);
}

// Long values at the boundaries: up to 32 bytes stay in the row (nwind97's MSysQueries holds 32
// inline and 35 on an LVAL page); one LVAL row holds at most 2,032 bytes, longer values are chains
// of rows of 2,036 bytes (4 of them the link), as in every genuine Jet 3 file here.
class LongValueBoundary : public Check, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(LongValueBoundary, StoredAsTheGenuineEngineStoresIt) {
    const std::size_t length = GetParam();
    const fs::path path = dir_ / "boundary.mdb";
    writeCookbookLike(path, 1, {length});
    auto db = DatabaseFile::open(path);
    const auto table = db->tableDefinition(u"Recipe");
    const auto rows = test::readRows(*db, table);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(std::get<std::u16string>(rows[0].values[1]).size(), length);
    const auto pages = readUsageMap(db->pages(), db->format(), table.longValueMapsOf(1)->used);
    std::size_t longest = 0;
    for (std::uint32_t number : pages) {
        auto page = db->pages().page(number);
        for (std::uint16_t i = 0; i < rowCountOf(page, db->format()); ++i)
            longest = std::max<std::size_t>(longest, rowBytes(page, db->format(), i).size());
    }
    if (length <= 32) EXPECT_TRUE(pages.empty());
    else if (length <= 2032) EXPECT_EQ(longest, length);
    else EXPECT_EQ(longest, 2036u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongValueBoundary,
                         ::testing::Values(0, 1, 32, 33, 64, 2000, 2031, 2032, 2033, 2034, 2035, 2036, 2037, 4064,
                                           10000));

// A row that would pass 2,012 bytes with its small memos inline stores them apart; one that does not
// fit even so is refused with 3047 and leaves the file as it was.
TEST_F(Check, RowsAtTheRecordLimit) {
    const fs::path path = dir_ / "limit.mdb";
    auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
    auto td = db->CreateTableDef(u"Wide");
    for (char16_t c = u'a'; c <= u'h'; ++c)
        td->Fields().Append(td->CreateField(std::u16string(1, c), dao::type::dbText, 255));
    td->Fields().Append(td->CreateField(u"m", dao::type::dbMemo, 0));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset(u"Wide", dao::dbOpenDynaset);
    rs->AddNew();
    for (char16_t c = u'a'; c <= u'g'; ++c) rs->Collect(std::u16string(1, c)) = dao::Variant(std::u16string(255, c));
    rs->Collect(u"h") = dao::Variant(std::u16string(180, u'h'));
    rs->Collect(u"m") = dao::Variant(std::u16string(30, u'm'));
    rs->Update(dao::dbUpdateRegular, false);  // 30 memo bytes inline would pass 2,012
    rs->AddNew();
    for (char16_t c = u'a'; c <= u'h'; ++c) rs->Collect(std::u16string(1, c)) = dao::Variant(std::u16string(255, c));
    int number = 0;
    try {
        rs->Update(dao::dbUpdateRegular, false);
    } catch (const Failure& f) {
        number = f.number();
    }
    EXPECT_EQ(number, 3047);
    rs->Close();
    db->Close();
    auto file = DatabaseFile::open(path);
    const auto table = file->tableDefinition(u"Wide");
    const auto rows = test::readRows(*file, table);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<std::u16string>(rows[0].values[8]), std::u16string(30, u'm'));
    EXPECT_FALSE(readUsageMap(file->pages(), file->format(), table.longValueMapsOf(8)->used).empty());
}

}  // namespace
}  // namespace zestrel::jet
