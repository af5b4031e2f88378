#include "store/dao/sql_source.h"

#include <gtest/gtest.h>

#include "store/jet/failure.h"

namespace zestrel::dao {
namespace {

struct SourceCase {
    std::u16string source;
    std::u16string table;
    std::optional<std::u16string> orderBy;
};

class RecordSources : public ::testing::TestWithParam<SourceCase> {};

TEST_P(RecordSources, Parse) {
    const auto parsed = parseRecordSource(GetParam().source);
    EXPECT_EQ(parsed.table, GetParam().table);
    EXPECT_EQ(parsed.orderBy, GetParam().orderBy);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordSources,
    ::testing::Values(SourceCase{u"Recipe", u"Recipe", std::nullopt},
                      SourceCase{u"Select * FROM Recipe ORDER BY rID", u"Recipe", u"rID"},
                      SourceCase{u"select * from Ingred order by rID", u"Ingred", u"rID"},
                      SourceCase{u"SELECT*FROM[My Table]ORDER BY [Recipe ID] ASC;", u"My Table", u"Recipe ID"},
                      SourceCase{u"  SELECT  *\n FROM  Version ", u"Version", std::nullopt},
                      SourceCase{u"[Version]", u"Version", std::nullopt},
                      SourceCase{u"My Table", u"My Table", std::nullopt}));

class BadSql : public ::testing::TestWithParam<std::u16string> {};

TEST_P(BadSql, IsASyntaxFailureQuotingTheText) {
    try {
        parseRecordSource(GetParam());
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 3131);
        EXPECT_NE(f.description().find("SELECT"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadSql,
                         ::testing::Values(u"SELECT Name FROM Recipe", u"SELECT * Recipe", u"SELECT * FROM",
                                           u"SELECT * FROM Recipe ORDER rID", u"SELECT * FROM Recipe WHERE rID = 1",
                                           u"SELECT * FROM [Recipe", u"SELECT * FROM Recipe ORDER BY rID DESC"));

}  // namespace
}  // namespace zestrel::dao
