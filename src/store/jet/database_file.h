// One open database file: its format, header, catalog and tables.
//
// This is the engine's face to the layer above. Every entry point reports
// trouble as a numbered Failure whose description names the file: a missing
// file (3024), a folder or unreadable file (3051), a file that is not a Jet 3
// or Jet 4 database (3343, naming the format where known), a damaged file
// (3049), a missing table (3078). Opening reads; nothing is written until the
// layer above asks for it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/jet/catalog.h"
#include "store/jet/format.h"
#include "store/jet/header_page.h"
#include "store/jet/page_file.h"
#include "store/jet/row_decoder.h"
#include "store/jet/table_reader.h"
#include "store/jet/table_creator.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

class DatabaseFile {
public:
    // Jet 3 text is read in the code page the header names, or in `codePage` when one is given (for
    // a header that names the wrong one); a code page the program carries no table for reads as 1252.
    static std::shared_ptr<DatabaseFile> open(const std::filesystem::path& path,
                                              std::optional<std::uint16_t> codePage = std::nullopt,
                                              MemoryBounds bounds = {});
    // Creates a new, empty Jet 3 database and opens it for writing. Refused, leaving the disk as it
    // was: a file or folder already at the path (3204), a folder that does not exist or an invalid
    // path (3044), a folder that cannot be written (3051).
    static std::shared_ptr<DatabaseFile> create(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    const Format& format() const { return format_; }
    const HeaderInfo& header() const { return header_; }
    const Catalog& catalog() const { return catalog_; }
    PageFile& pages() { return pages_; }

    TableDefinition tableDefinition(const std::u16string& name);
    // Reading a table without holding it: where its rows live, one row's bytes, and a walk
    // over every row in storage order. Memory stays bounded whatever the table's size.
    RowList rowLocations(const TableDefinition& table);
    // The stored bytes of the row `at` leads to, for decoding one field at a time with
    // decodeField: without a copy where the row lies in the file's view (while the file is only
    // read), the bytes are then the view's, readable until the file is closed, and as the file
    // held them when read; otherwise they are copied into `copy`.
    std::span<const std::uint8_t> readRow(RowPointer at, std::vector<std::uint8_t>& copy);
    // How many writes were begun on this open file: a reader holding a row's bytes reads them
    // again when it has changed.
    std::uint64_t writesBegun() const { return writesBegun_; }
    Value decodeField(const FieldLocation& field, const ColumnDefinition& column);
    // Gives back the memory of the pages read from the file's view of it; they stay readable.
    void releaseReadPages() { pages_.releaseView(); }
    // A Text or Memo field's text as stored (a memo's data gathered from its pages), into `text`.
    void storedText(const FieldLocation& field, const ColumnDefinition& column, Bytes& text);
    // The same without a copy where the text lies in one place: valid until the next read of this
    // file; a memo spread over several pages is gathered in `chained`.
    std::span<const std::uint8_t> storedTextBytes(const FieldLocation& field, const ColumnDefinition& column,
                                                  Bytes& chained);
    void forEachRow(const TableDefinition& table, const RowVisitor& visit);
    void forEachRowWhile(const TableDefinition& table, const RowPredicate& visit);
    // The live rows on the data pages in use, by the definition page of the table that owns them
    // (table_reader.h): what a complete read of each table must meet.
    std::map<std::uint32_t, std::uint64_t> rowsOnOwnedPages();

    // Writing. The file is opened for writing on the first write; each call leaves its changes in
    // the page cache, where every reader of this file sees them at once; they reach the file when
    // the cache evicts them, and close() writes the rest and makes everything durable.
    void createTable(const std::u16string& name, const std::vector<NewColumn>& columns);
    // `layout` is the table's, made once for the rows of many writes.
    RowPointer insertRow(TableDefinition& table, const RowLayout& layout, RowValues values);
    RowPointer updateRow(const TableDefinition& table, const RowLayout& layout, RowPointer at, RowValues values);
    // Makes every change durable (written and synced); the file stays open.
    void flushAndSync();
    // Writes what is left, makes it durable and closes the file; a second close does nothing.
    void close();
    // Closes the file when it is still open; a failure then has no one left to tell.
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    std::pair<std::uint64_t, std::uint64_t> identity() const { return pages_.identity(); }
    // Still open, and its file not deleted (an inode number can come back for another file).
    bool current() const { return pages_.linked(); }

    // Runs an engine step, turning its low-level errors into failures that name this file.
    template <typename Step>
    auto guarded(Step&& step) -> decltype(step());

private:
    DatabaseFile(std::filesystem::path path, PageFile pages, const Format& format);
    WriteContext startWriting();
    void requireWhole(std::uint64_t size);
    // Runs a write whole or not at all: on any failure the pages and the writer's memory are as before.
    template <typename Step>
    auto atomically(Step&& step) -> decltype(step());

    std::filesystem::path path_;
    PageFile pages_;
    Format format_;  // the version's, with the file's code page
    HeaderInfo header_{};
    Catalog catalog_;
    WriterState writerState_;
    WriterPages pagesBeforeWrite_;  // what writerState_ remembered before the write under way
    std::uint64_t writesBegun_ = 0;
};

// Turns the exception in flight (CorruptData, platform::FileError, Failure) into a Failure naming `path`.
[[noreturn]] void rethrowAsFailure(const std::filesystem::path& path);
// The failure a user sees for a file error on the database at `path`.
[[noreturn]] void throwFileFailure(const platform::FileError& error, const std::filesystem::path& path);

template <typename Step>
auto DatabaseFile::atomically(Step&& step) -> decltype(step()) {
    // Kept in a member, whose map nodes the assignment reuses: a write allocates nothing for it.
    static_cast<WriterPages&>(pagesBeforeWrite_) = static_cast<const WriterPages&>(writerState_);
    pages_.beginChange();
    try {
        if constexpr (std::is_void_v<decltype(step())>) {
            step();
            pages_.commitChange();
        } else {
            auto result = step();
            pages_.commitChange();
            return result;
        }
    } catch (...) {
        pages_.rollbackChange();
        static_cast<WriterPages&>(writerState_) = pagesBeforeWrite_;
        throw;
    }
}

template <typename Step>
auto DatabaseFile::guarded(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (...) {
        // What was read of a file cut short under the reader may look damaged; the cut is the cause.
        if (pages_.cutShort()) throwFileFailure(platform::FileError("read", path_, platform::kCutShort), path_);
        rethrowAsFailure(path_);
    }
}

}  // namespace zestrel::jet
