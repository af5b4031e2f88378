// The database file seen as numbered pages of one fixed size, through a
// bounded write-back cache.
//
// Until writing is enabled, pages are read straight from a view of the file
// in memory where the system gives one (see MappedPages); a file that becomes
// shorter meanwhile raises FileError (kCutShort) at the next page read and at
// close(). Otherwise, and once writing is enabled, pages are read on first use
// into the cache, together with up to fifteen uncached pages after them in one
// call (most readers go through pages in order). A page
// number at or past the end of the file is a corrupt pointer and raises
// CorruptData, so no caller reads outside the file. Writing is off until
// enableWriting() reopens the file for writing: a file opened only to read is
// never opened writable, so neither its bytes nor its modification time can
// change.
//
// A changed page stays in the cache, where every reader of this PageFile sees
// it at once; it reaches the file when trim() evicts it or at flush(), and
// sync() makes what was written durable. The cache holds about
// kCacheBytes; it may grow past that within one operation (a span returned
// by page() or mutablePage() stays valid until the next trim()), and trim()
// brings it back. trim() is the only call that evicts, so callers invoke it
// only where they hold no span; it does nothing inside a change.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "platform/file.h"
#include "platform/large_block.h"
#include "store/jet/mapped_pages.h"

namespace zestrel::jet {

inline constexpr std::size_t kCacheBytes = 8u << 20;
// A view of a file only read may hold more than its share (one and a half times the cache) while
// the process's own memory and every view's stay under this (see MappedPages).
inline constexpr std::size_t kProcessCeilingBytes = 22u << 20;

// The memory a PageFile may take: its cache, and the ceiling its view reads under (see above).
struct MemoryBounds {
    std::size_t cacheBytes = kCacheBytes;
    std::size_t processCeiling = kProcessCeilingBytes;
};

class PageFile {
public:
    PageFile(platform::File file, std::uint32_t pageSize, std::size_t cacheBytes = kCacheBytes,
             std::size_t processCeiling = kProcessCeilingBytes);

    std::uint32_t pageSize() const { return pageSize_; }
    std::uint64_t fileBytes() const { return file_.size(); }
    std::uint32_t pageCount() const { return pageCount_; }
    // Raises TruncatedFile (or CorruptData for an absurd page): `number` lies past the end.
    [[noreturn]] void throwBeyondEnd(std::uint64_t number) const;
    // The file's identity (device and inode), the same for every path that leads to it.
    std::pair<std::uint64_t, std::uint64_t> identity() const { return file_.identity(); }
    bool linked() const { return file_.isOpen() && file_.linked(); }
    bool isOpen() const { return file_.isOpen(); }
    const std::filesystem::path& path() const { return file_.path(); }

    std::span<const std::uint8_t> page(std::uint32_t number);

    bool writable() const { return writable_; }
    // Whether page() hands out the view's bytes, which stay readable until close() (while the
    // file is only read and the system gave a view); otherwise they are frames, valid until trim().
    // A page read out of order once the view holds its allowance is a frame too (see MappedPages).
    bool readsFromView() const { return mapped_ && !writable_; }
    // Whether `bytes`, from page(), lie in the view: readable until close(), not only until trim().
    bool inView(std::span<const std::uint8_t> bytes) const;
    void enableWriting();
    // A page for changing; it reaches the file when evicted or at the next flush().
    std::span<std::uint8_t> mutablePage(std::uint32_t number);
    // The same for a caller that changes only these byte ranges of the page: inside a change,
    // only they are remembered (a row added to a page changes a few hundred of its bytes).
    struct ByteRange {
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    std::span<std::uint8_t> mutablePage(std::uint32_t number, std::initializer_list<ByteRange> changing);
    // A new zero-filled page at the end of the file.
    std::uint32_t appendPage();
    // Writes every changed page, in page order.
    void flush();
    void flushAll() { flush(); }
    // Evicts pages (writing changed ones) until the cache is within its size. Invalidates every
    // span handed out before. A failed write leaves that page changed in the cache.
    void trim() {
        if (mapped_) mapped_->release();
        if (!changing_ && resident_ > capacity_) evictToCapacity();
    }
    std::size_t cachedPages() const { return resident_; }
    // A walk through pages in file order is done with this page (see MappedPages::passed).
    void passed(std::uint32_t number) {
        if (readsFromView()) mapped_->passed(number);
    }
    // Gives back the memory of every page read from the file's view; spans stay valid.
    void releaseView() {
        if (mapped_) mapped_->releaseAll();
    }

    // A change that either happens whole or not at all: beginChange() remembers every page
    // before its first change, rollbackChange() puts them back (those whose changed bytes had
    // reached the file are written out again at the next flush) and forgets new pages.
    void beginChange();
    void commitChange();
    void rollbackChange();
    void sync();
    // Closes the file; raises FileError (kCutShort) when pages read from its view were cut short.
    void close();
    // Whether pages read from the file's view were cut short: what was read there was zeros.
    bool cutShort() const { return mapped_ && mapped_->cutShort(); }

private:
    struct Frame {
        std::span<std::uint8_t> bytes;  // in one of blocks_
        std::uint32_t page = 0;
        bool used = false;
        bool dirty = false;
        bool referenced = false;
    };
    // What a page held before the change: all of it, or one byte range of it, whose bytes lie
    // in beforeBytes_ from `kept`.
    struct BeforeChange {
        std::uint32_t page = 0;
        bool dirty = false;
        bool whole = true;
        std::size_t offset = 0;
        std::size_t length = 0;
        std::size_t kept = 0;
    };

    bool cached(std::uint32_t number) const;
    // The page's frame, read from the file (with the uncached pages after it, `readAhead`) when
    // not cached.
    Frame& load(std::uint32_t number, bool readAhead = true);
    Frame& frameAt(std::uint32_t cachedPage) { return frames_[frameOf_[cachedPage] - 1]; }
    // Whether the frames of cached pages first..end-1 follow one another in memory.
    bool adjacentInMemory(std::uint32_t first, std::uint32_t end);
    // Reads pages first..end-1 into their frames.
    void readPages(std::uint32_t first, std::uint32_t end);
    void rememberBeforeChange(const Frame& frame);
    bool rememberedWhole(std::uint32_t number) const;
    // Remembers `length` bytes of the frame from `offset`, as they are before the change.
    void rememberBytes(const Frame& frame, bool whole, std::size_t offset, std::size_t length);
    Frame& newFrame(std::uint32_t number);
    std::span<std::uint8_t> frameBytes();
    void evict(Frame& frame);
    void evictToCapacity();
    void drop(std::uint32_t number);
    bool cachedAndChanged(std::uint32_t number) const;
    // Writes the cached, changed pages first..end-1 with one call.
    void writeRun(std::uint32_t first, std::uint32_t end);
    void writeRunAround(std::uint32_t number);

    platform::File file_;
    std::uint32_t pageSize_;
    std::uint32_t pageCount_;
    std::unique_ptr<MappedPages> mapped_;  // read from while writing is off
    std::size_t capacity_;  // in pages
    std::size_t writingCapacity_;  // the same once writing is enabled
    bool writable_ = false;
    // Frames are carved from large blocks, one after the other, and reused once made: a cache
    // filling megabytes of frames takes few memory faults.
    std::vector<platform::LargeBlock> blocks_;
    std::size_t blockUsed_ = 0;  // bytes of blocks_.back() given to frames
    std::vector<Frame> frames_;
    std::vector<std::uint32_t> frameOf_;  // by page number: frame index + 1, 0 when not cached
    std::vector<std::uint32_t> freeFrames_;
    std::size_t resident_ = 0;
    std::size_t hand_ = 0;  // the clock hand over frames_
    bool changing_ = false;
    std::uint32_t pageCountBeforeChange_ = 0;
    // What the change's pages held before it, in the order remembered (a rollback puts them back
    // in reverse). The bytes lie one after another in beforeBytes_, whose first beforeBytesUsed_
    // are the change's; its storage (and the list's) is kept for the next change, so that a
    // change allocates nothing.
    std::vector<BeforeChange> beforeChange_;
    std::vector<std::uint8_t> beforeBytes_;
    std::size_t beforeBytesUsed_ = 0;
    std::set<std::uint32_t> writtenInChange_;  // pages whose changed bytes reached the file
    std::vector<std::uint8_t> readRun_;         // pages read with one call, kept for its storage
    std::vector<std::uint8_t> writeRun_;        // pages written with one call, gathered
};

}  // namespace zestrel::jet
