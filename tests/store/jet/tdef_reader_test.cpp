// Reading table definitions of genuine files: what the genuine engine keeps
// alike in Jet 3 and Jet 4 must read alike.
#include "store/jet/tdef_reader.h"

#include <gtest/gtest.h>

#include "store/jet/database_file.h"
#include "support/fixtures.h"

namespace zestrel::jet {
namespace {

// Every genuine file's relationships table has three indexes that ignore nulls; the catalog's
// indexes hold every row. Jet 4 keeps the flags elsewhere in an index's definition than Jet 3.
TEST(TableDefinitionReader, ReadsWhichIndexesIgnoreNullsInBothFormats) {
    ZESTREL_REQUIRE_SHARED();
    const auto ignoresNulls = [](const RealIndexDefinition& index) { return (index.flags & kIndexIgnoresNulls) != 0; };
    std::size_t files = 0;
    for (const auto& file : test::jetFixtures()) {
        auto db = DatabaseFile::open(file);
        const TableDefinition relationships = db->tableDefinition(u"MSysRelationships");
        ASSERT_EQ(relationships.realIndexes.size(), 3u) << file;
        for (const auto& index : relationships.realIndexes) EXPECT_TRUE(ignoresNulls(index)) << file;
        const TableDefinition catalog = db->tableDefinition(u"MSysObjects");
        ASSERT_FALSE(catalog.realIndexes.empty()) << file;
        for (const auto& index : catalog.realIndexes) EXPECT_FALSE(ignoresNulls(index)) << file;
        ++files;
    }
    EXPECT_GT(files, 5u);
}

}  // namespace
}  // namespace zestrel::jet
