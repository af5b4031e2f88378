// The database file seen as numbered pages of one fixed size.
//
// Pages are read on first use and kept; a page number at or past the end of
// the file is a corrupt pointer and raises CorruptData, so no caller reads
// outside the file. Writing is off until enableWriting() reopens the file for
// writing: a file opened only to read is never opened writable, so neither its
// bytes nor its modification time can change. Changed pages stay in memory
// until flush(); sync() makes them durable. A page that changes with every row
// (a table's row count) may be deferred, so that adding a row costs one write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "platform/file.h"

namespace zestrel::jet {

class PageFile {
public:
    PageFile(platform::File file, std::uint32_t pageSize);

    std::uint32_t pageSize() const { return pageSize_; }
    std::uint32_t pageCount() const { return pageCount_; }
    // The file's identity (device and inode), the same for every path that leads to it.
    std::pair<std::uint64_t, std::uint64_t> identity() const { return file_.identity(); }
    bool linked() const { return file_.isOpen() && file_.linked(); }
    const std::filesystem::path& path() const { return file_.path(); }

    std::span<const std::uint8_t> page(std::uint32_t number);

    bool writable() const { return writable_; }
    void enableWriting();
    // A page for changing; it is written out by the next flush().
    std::span<std::uint8_t> mutablePage(std::uint32_t number);
    // Lets a changed page wait: flush() writes it only together with other structural
    // changes (two or more pages), or after kDeferredFlushes flushes, or flushAll().
    void deferPage(std::uint32_t number);
    // A new zero-filled page at the end of the file.
    std::uint32_t appendPage();
    void flush();
    void flushAll();

    // A change that either happens whole or not at all: beginChange() remembers every page
    // before its first change, rollbackChange() puts them back (those whose changed bytes had
    // reached the file are written out again at the next flush) and forgets new pages.
    void beginChange();
    void commitChange();
    void rollbackChange();
    void sync();
    void close();

private:
    std::vector<std::uint8_t>& load(std::uint32_t number);

    platform::File file_;
    std::uint32_t pageSize_;
    std::uint32_t pageCount_;
    bool writable_ = false;
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> cache_;  // by page number, loaded on first use
    std::set<std::uint32_t> dirty_;
    std::set<std::uint32_t> deferred_;
    unsigned flushesSinceDeferred_ = 0;
    bool changing_ = false;
    std::uint32_t pageCountBeforeChange_ = 0;
    std::map<std::uint32_t, std::vector<std::uint8_t>> beforeChange_;
    std::set<std::uint32_t> writtenInChange_;  // pages whose changed bytes reached the file
};

inline constexpr unsigned kDeferredFlushes = 64;

}  // namespace zestrel::jet
