// The page cache under a file: a bounded number of pages, changed pages
// written when evicted or flushed, every change visible at once to readers of
// the same PageFile, and changes undone whole, also after evictions and
// failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>

#include "platform/fault_injection.h"
#include "platform/process_memory.h"
#include "store/dao/db_engine.h"
#include "store/jet/database_file.h"
#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "support/fixtures.h"
#include "text/utf8.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kPageSize = 2048;
constexpr std::size_t kSmallCache = 16 * kPageSize;  // the smallest cache a PageFile keeps

class PageCache : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("page-cache"); }
    void TearDown() override {
        platform::faults::disarm();
        fs::remove_all(dir_);
    }

    // A file of `pages` pages, page n filled with the byte n.
    fs::path makeFile(std::uint32_t pages) {
        const fs::path path = dir_ / "pages.bin";
        std::ofstream out(path, std::ios::binary);
        for (std::uint32_t n = 0; n < pages; ++n) out << std::string(kPageSize, static_cast<char>(n));
        return path;
    }

    PageFile openForWriting(const fs::path& path) {
        PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, kSmallCache);
        pages.enableWriting();
        return pages;
    }

    // The first byte of page n as the file on disk holds it.
    static int byteOnDisk(const fs::path& path, std::uint32_t n) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(n) * kPageSize);
        return in.get();
    }

    fs::path dir_;
};

TEST_F(PageCache, ReadingAFileLargerThanTheCacheStaysWithinIt) {
    const fs::path path = makeFile(200);
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, kSmallCache);
    for (std::uint32_t n = 0; n < 200; ++n) {
        pages.trim();
        EXPECT_EQ(pages.page(n)[7], static_cast<std::uint8_t>(n));
    }
    pages.trim();
    EXPECT_LE(pages.cachedPages(), kSmallCache / kPageSize);
    EXPECT_THROW(pages.page(200), CorruptData);
}

TEST_F(PageCache, ChangedPagesReachTheFileWhenEvictedOrFlushedAndReadBackChanged) {
    const fs::path path = makeFile(100);
    PageFile pages = openForWriting(path);
    for (std::uint32_t n = 0; n < 100; ++n) {
        pages.trim();
        pages.mutablePage(n)[0] = static_cast<std::uint8_t>(200 - n);
    }
    const std::uint32_t added = pages.appendPage();
    pages.mutablePage(added)[0] = 42;
    pages.trim();
    EXPECT_EQ(byteOnDisk(path, 0), 200) << "an evicted page was not written";
    for (std::uint32_t n = 0; n < 100; ++n) {
        pages.trim();
        ASSERT_EQ(pages.page(n)[0], 200 - n) << "page " << n << " lost its change";
    }
    pages.flush();
    for (std::uint32_t n = 0; n < 100; ++n) ASSERT_EQ(byteOnDisk(path, n), static_cast<int>(200 - n)) << "page " << n;
    EXPECT_EQ(byteOnDisk(path, added), 42);
}

TEST_F(PageCache, ARolledBackChangeKeepsTheChangesMadeBeforeIt) {
    const fs::path path = makeFile(40);
    PageFile pages = openForWriting(path);
    pages.mutablePage(3)[0] = 99;  // an earlier change, not yet written
    pages.beginChange();
    pages.mutablePage(3)[0] = 1;
    pages.mutablePage(4)[0] = 1;
    const std::uint32_t added = pages.appendPage();
    pages.rollbackChange();
    EXPECT_EQ(pages.pageCount(), 40u);
    EXPECT_EQ(pages.page(3)[0], 99);
    EXPECT_EQ(pages.page(4)[0], 4);
    EXPECT_THROW(pages.page(added), CorruptData);
    pages.flush();
    EXPECT_EQ(byteOnDisk(path, 3), 99) << "the change made before the undone one was lost";
    EXPECT_EQ(byteOnDisk(path, 4), 4);
}

TEST_F(PageCache, AChangeUndoneAfterItsPagesWereWrittenIsWrittenBack) {
    const fs::path path = makeFile(40);
    PageFile pages = openForWriting(path);
    pages.beginChange();
    pages.mutablePage(5)[0] = 77;
    pages.flush();
    EXPECT_EQ(byteOnDisk(path, 5), 77);
    pages.rollbackChange();
    pages.flush();
    EXPECT_EQ(byteOnDisk(path, 5), 5);
}

// A writer that names the bytes it changes has only those remembered; a rollback must still
// give back every page whole, however the named ranges and whole-page changes interleave.
TEST_F(PageCache, ARollbackUndoesChangesToNamedRangesAndWholePagesInAnyOrder) {
    const fs::path path = makeFile(40);
    PageFile pages = openForWriting(path);
    pages.mutablePage(7)[100] = 55;  // an earlier change, not yet written
    pages.beginChange();
    {
        auto page = pages.mutablePage(7, {{0, 16}, {100, 8}});
        std::fill(page.begin(), page.begin() + 16, std::uint8_t{1});
        std::fill(page.begin() + 100, page.begin() + 108, std::uint8_t{2});
    }
    std::fill(pages.mutablePage(7).begin() + 500, pages.mutablePage(7).begin() + 600, std::uint8_t{3});
    pages.mutablePage(7, {{2000, 48}})[2047] = 4;  // after a whole-page record: nothing more to remember
    pages.mutablePage(8, {{10, 1}})[10] = 5;
    pages.mutablePage(8)[11] = 6;
    pages.mutablePage(8, {{12, 1}})[12] = 7;
    EXPECT_THROW(pages.mutablePage(9, {{2040, 9}}), CorruptData) << "a range past the page's end";
    pages.rollbackChange();
    for (std::uint32_t n : {7u, 8u, 9u}) {
        const auto page = pages.page(n);
        for (std::size_t i = 0; i < page.size(); ++i) {
            const int expected = n == 7 && i == 100 ? 55 : static_cast<int>(n);
            ASSERT_EQ(page[i], expected) << "page " << n << " byte " << i;
        }
    }
    pages.flush();
    EXPECT_EQ(byteOnDisk(path, 7), 7);
    EXPECT_EQ(byteOnDisk(path, 8), 8);
}

// Frames come from blocks of a few megabytes; a cache larger than one block must keep every
// page apart from its neighbours across the blocks' borders.
TEST_F(PageCache, ACacheSpanningSeveralMemoryBlocksKeepsEveryPageApart) {
    constexpr std::uint32_t kPages = 2500;  // about 5 MB: three blocks of frames
    const fs::path path = makeFile(kPages);
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, kPages * kPageSize);
    pages.enableWriting();
    for (std::uint32_t n = 0; n < kPages; ++n) {
        auto page = pages.mutablePage(n);
        page.front() = static_cast<std::uint8_t>(n * 7);
        page.back() = static_cast<std::uint8_t>(n * 11);
    }
    EXPECT_EQ(pages.cachedPages(), kPages);
    for (std::uint32_t n = 0; n < kPages; ++n) {
        const auto page = pages.page(n);
        ASSERT_EQ(page.front(), static_cast<std::uint8_t>(n * 7)) << "page " << n;
        ASSERT_EQ(page.back(), static_cast<std::uint8_t>(n * 11)) << "page " << n;
        ASSERT_EQ(page[kPageSize / 2], static_cast<std::uint8_t>(n)) << "page " << n << " lost what the file holds";
    }
    pages.flush();
    EXPECT_EQ(byteOnDisk(path, kPages - 1), static_cast<std::uint8_t>((kPages - 1) * 7));
}

TEST(PageFileSize, APageSizeNoJetFileHasIsRefused) {
    const fs::path dir = test::makeTempDir("page-size");
    const fs::path path = dir / "one.bin";
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    EXPECT_THROW(PageFile(platform::File::open(path, platform::OpenMode::ReadOnly), 0), CorruptData);
    EXPECT_THROW(PageFile(platform::File::open(path, platform::OpenMode::ReadOnly), 64u << 20), CorruptData);
    fs::remove_all(dir);
}

TEST_F(PageCache, AFailedWriteOnEvictionKeepsThePageChanged) {
    const fs::path path = makeFile(60);
    PageFile pages = openForWriting(path);
    for (std::uint32_t n = 0; n < 40; ++n) pages.mutablePage(n)[0] = 123;
    platform::faults::arm(1);
    EXPECT_THROW(pages.trim(), platform::FileError);
    platform::faults::disarm();
    pages.trim();
    for (std::uint32_t n = 0; n < 40; ++n) ASSERT_EQ(pages.page(n)[0], 123) << "page " << n;
    pages.flush();
    for (std::uint32_t n = 0; n < 40; ++n) ASSERT_EQ(byteOnDisk(path, n), 123) << "page " << n;
}

// A database closed explicitly is not flushed, synced or closed again when it is released: its
// file is shut, and a second sync would only fail on a descriptor that no longer exists.
TEST_F(PageCache, ADatabaseClosedOnceIsNotTouchedAgainWhenReleased) {
    const fs::path path = dir_ / "closed.mdb";
    auto database = DatabaseFile::create(path);
    database->createTable(u"T", {NewColumn{ColumnSpec{u"Name", ColumnType::Text, 50, kColumnCanBeNull}, true}});
    platform::faults::resetCount();
    database->close();
    EXPECT_GT(platform::faults::operationCount(), 0);  // written, synced and closed
    platform::faults::resetCount();
    database->close();
    database.reset();
    EXPECT_EQ(platform::faults::operationCount(), 0);
}

TEST_F(PageCache, AFailedReadCachesNothingAndALaterReadGetsThePages) {
    const fs::path path = makeFile(40);
    PageFile pages = openForWriting(path);  // pages of a file only read come from its view, not the cache
    platform::faults::arm(1);
    EXPECT_THROW(pages.page(5), platform::FileError);
    platform::faults::disarm();
    EXPECT_EQ(pages.cachedPages(), 0u);
    EXPECT_EQ(pages.page(5)[9], 5);
    EXPECT_EQ(pages.page(6)[9], 6) << "read ahead with page 5";
}

#ifdef __linux__
// A file read at random holds no more of it in memory than its share, and a walk in file order
// gives back what it has passed at once; every page reads right all the while.
TEST_F(PageCache, AFileOnlyReadHoldsABoundedPartOfItInMemory) {
    constexpr std::uint32_t kPages = 16384;  // 32 MB
    const fs::path path = makeFile(kPages);
    const std::size_t before = test::residentFileKilobytes();
    // No room beyond the view's share: the process is taken to hold enough of its own.
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, 1u << 20, 0);
    std::size_t most = 0;
    for (std::uint32_t i = 0; i < kPages; ++i) {
        const std::uint32_t n = (i * 7919u) % kPages;  // every page once, far apart
        pages.trim();
        ASSERT_EQ(pages.page(n)[9], static_cast<std::uint8_t>(n)) << "page " << n;
        most = std::max(most, test::residentFileKilobytes());
    }
    EXPECT_LE(most, before + 8 * 1024) << "a few times the cache's size, not the file's";
    pages.releaseView();
    for (std::uint32_t n = 0; n < kPages; ++n) {
        pages.trim();
        pages.passed(n);
        ASSERT_EQ(pages.page(n)[9], static_cast<std::uint8_t>(n)) << "page " << n;
        most = std::max(most, test::residentFileKilobytes());
    }
    EXPECT_LE(test::residentFileKilobytes(), before + 2 * 1024) << "the walk gave back what it passed";
}

// Once the view holds its share, a page read out of order comes from the file into a frame (valid
// until the next trim), one page at a time, while pages the view holds, and every page a walk
// comes to, are still the view's own, readable to the end.
TEST_F(PageCache, PagesReadOutOfOrderBeyondTheViewsShareAreReadFromTheFile) {
    constexpr std::uint32_t kPages = 4096;  // 8 MB: 8 chunks of a view
    const fs::path path = makeFile(kPages);
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, 1u << 20, 0);
    const auto first = pages.page(0);
    ASSERT_TRUE(pages.inView(first));
    std::size_t fromView = 0;
    std::size_t fromFile = 0;
    for (std::uint32_t i = 0; i < kPages; ++i) {
        const std::uint32_t n = (i * 7919u) % kPages;
        pages.trim();
        const auto bytes = pages.page(n);
        ASSERT_EQ(bytes.size(), kPageSize);
        ASSERT_TRUE(std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == static_cast<std::uint8_t>(n); }))
            << "page " << n;
        ++(pages.inView(bytes) ? fromView : fromFile);
    }
    EXPECT_GT(fromFile, kPages / 2) << "most of a file eight times the view's share";
    EXPECT_GT(fromView, 0u);
    EXPECT_LE(pages.cachedPages(), (1u << 20) / kPageSize + 1) << "frames only for the pages read last";
    EXPECT_EQ(first[9], 0) << "a page handed out of the view stays readable";
    for (std::uint32_t n = 0; n < kPages; n += 97) {
        pages.trim();
        pages.passed(n);
        ASSERT_TRUE(pages.inView(pages.page(n))) << "a walk reads page " << n << " from the view";
    }
}
// Rows read out of order from a file far larger than the view's share: a row that comes from the
// file into a frame is copied, so that it still reads right after other rows and their memos were
// read, which reuse the frames.
TEST_F(PageCache, RowsReadOutOfOrderBeyondTheViewsShareStayReadable) {
    constexpr int kRows = 2000;
    const auto noteOf = [](int i) { return std::u16string(1500, static_cast<char16_t>(u'a' + i % 26)) + u"|" + text::fromUtf8(std::to_string(i)); };
    const fs::path path = dir_ / "t.mdb";
    {
        auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
        auto td = db->CreateTableDef(u"T");
        td->Fields().Append(td->CreateField(u"Seq", dao::type::dbLong, 4));
        td->Fields().Append(td->CreateField(u"Note", dao::type::dbMemo, 0));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset(u"T", dao::dbOpenDynaset);
        for (int i = 0; i < kRows; ++i) {
            rs->AddNew();
            rs->Collect(u"Seq") = dao::Variant(i);
            rs->Collect(u"Note") = dao::Variant(noteOf(i));
            rs->Update();
        }
        db->Close();
    }
    ASSERT_GT(fs::file_size(path), 3u << 20) << "the view holds at most 2 MB of it";
    auto file = DatabaseFile::open(path, std::nullopt, {kSmallCache, 0});
    const TableDefinition table = file->tableDefinition(u"T");
    const RowList rows = file->rowLocations(table);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
    const RowLocator locate(table, file->format());
    std::vector<std::uint8_t> copyA;
    std::vector<std::uint8_t> copyB;
    std::vector<FieldLocation> a;
    std::vector<FieldLocation> b;
    const auto seqOf = [&](const std::vector<FieldLocation>& fields) { return std::get<std::int32_t>(file->decodeField(fields[0], table.columns[0])); };
    const auto noteIn = [&](const std::vector<FieldLocation>& fields) {
        return std::get<std::u16string>(file->decodeField(fields[1], table.columns[1]));
    };
    for (int i = 0; i < kRows; i += 7) {
        const int first = (i * 7919) % kRows;
        locate(file->readRow(RowPointer::decode(rows[static_cast<std::size_t>(first)]), copyA), a);
        for (int k = 1; k <= 40; ++k) {  // more pages than the frames hold
            const int other = (first + k * 997) % kRows;
            locate(file->readRow(RowPointer::decode(rows[static_cast<std::size_t>(other)]), copyB), b);
            ASSERT_EQ(noteIn(b), noteOf(seqOf(b)));
        }
        ASSERT_EQ(seqOf(a), first) << "a row read before others";
        ASSERT_EQ(noteIn(a), noteOf(first));
    }
}

// While the process holds little memory of its own, a view keeps more of the file than its share,
// up to what keeps the process under the ceiling, and no more.
TEST_F(PageCache, AFileOnlyReadKeepsMoreOfItselfWhileTheProcessHoldsLittle) {
    constexpr std::uint32_t kPages = 16384;  // 32 MB
    const fs::path path = makeFile(kPages);
    const std::size_t own = platform::ownResidentBytes().value_or(0);
    ASSERT_GT(own, 0u) << "the system says how much memory the process holds";
    const std::size_t before = test::residentFileKilobytes();
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, 1u << 20, own + (16u << 20));
    std::size_t most = 0;
    for (std::uint32_t n = 0; n < kPages; ++n) {  // every page, not as a walk that gives back what it passed
        pages.trim();
        ASSERT_EQ(pages.page(n)[9], static_cast<std::uint8_t>(n)) << "page " << n;
        // Looked at every 512 KB only: each look allocates, which a sanitizer's quarantine keeps.
        if (n % 256 == 255) most = std::max(most, test::residentFileKilobytes());
    }
    EXPECT_GT(most, before + 12 * 1024) << "more than the view's share of 1.5 MB";
    EXPECT_LE(most, before + 20 * 1024) << "within the room the process left";
}
#endif

// Another program cuts the file short while it is read: what was read past the new end is
// unusable, and the next page asked for, and the close, say so with a read error. (Windows lets
// no other program write a file held open to read.)
#ifndef _WIN32
TEST_F(PageCache, AFileCutShortWhileReadGivesAReadErrorNeverACrash) {
    const fs::path path = makeFile(200);
    PageFile pages(platform::File::open(path, platform::OpenMode::ReadOnly), kPageSize, kSmallCache);
    EXPECT_EQ(pages.page(10)[9], 10);
    fs::resize_file(path, 50 * kPageSize);
    EXPECT_EQ(pages.page(150)[9], 0);
    try {
        pages.page(11);
        FAIL() << "a file cut short under its pages must not go on being read";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(e.errorNumber(), platform::kCutShort);
        EXPECT_EQ(e.operation(), "read");
    }
    EXPECT_THROW(pages.close(), platform::FileError);
}
#endif

// Frames follow one another in memory while the cache fills, and not once evicted frames are
// reused: pages come back right either way, and changed runs of pages reach the file right.
TEST_F(PageCache, PagesAreReadAndWrittenRightWhetherOrNotTheirFramesAdjoin) {
    const fs::path path = makeFile(100);
    PageFile pages = openForWriting(path);
    for (std::uint32_t n = 0; n < 100; n += 3) {
        pages.trim();
        ASSERT_EQ(pages.page(n)[7], static_cast<std::uint8_t>(n)) << "page " << n;
    }
    for (std::uint32_t n = 99; n-- > 0;) {
        pages.trim();
        ASSERT_EQ(pages.page(n)[7], static_cast<std::uint8_t>(n)) << "page " << n;
    }
    for (std::uint32_t n = 40; n < 70; ++n) pages.mutablePage(n)[100] = static_cast<std::uint8_t>(n + 100);
    pages.flush();
    for (std::uint32_t n = 0; n < 100; ++n) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(n) * kPageSize + 100);
        const int expected = n >= 40 && n < 70 ? static_cast<int>(n + 100) : static_cast<int>(n);
        ASSERT_EQ(in.get(), expected) << "page " << n;
        ASSERT_EQ(byteOnDisk(path, n), static_cast<int>(n)) << "page " << n;
    }
}

}  // namespace
}  // namespace zestrel::jet
