// The pages of a file that is only read, straight from a view of it in memory:
// no copy, no cache of our own.
//
// A span handed out stays valid as long as this object lives. A page read out
// of file order once the allowance is taken is not handed out (see page()):
// the caller reads it from the file instead. Memory the
// pages have touched is given back, least recently read first, whenever more
// than the view's allowance is resident (release()), so that a pass over a
// large file holds a bounded part of it. The allowance is `residentBytes`, or
// more while the process holds little memory of its own: as much as keeps the
// process's own memory and every view's together under `processCeiling`. A
// table read in an order its rows are not stored in then reads each page from
// the file's cache once, not again and again.
//
// A file found shorter than at opening, or unreadable under the view, raises
// FileError (kCutShort, "read") at the next page asked for, and at requireWholeRead().
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/file_view.h"

namespace zestrel::jet {

class MappedPages {
public:
    // Nothing when the system gives no view of the file.
    static std::unique_ptr<MappedPages> map(const platform::File& file, std::uint32_t pageSize,
                                            std::uint32_t pageCount, std::size_t residentBytes,
                                            std::size_t processCeiling);
    ~MappedPages();
    MappedPages(const MappedPages&) = delete;
    MappedPages& operator=(const MappedPages&) = delete;

    // `number` must be below the page count given. Nothing when the page lies in a chunk not in
    // memory, the allowance is taken, and no walk in file order has come to that chunk: a page read
    // out of order then costs the caller one read of the file, far less than a memory fault and,
    // later, the chunk given back again (a table read in the order of a key it is not stored in
    // would otherwise push chunks out and take them back in at nearly every row).
    std::optional<std::span<const std::uint8_t>> page(std::uint32_t number) {
        requireWholeRead();
        const std::size_t offset = static_cast<std::size_t>(number) * pageSize_;
        const std::size_t chunk = offset >> kChunkShift;
        ++uses_;
        if (lastUse_[chunk] == 0) {
            if (chunk != walked_ && residentChunks_.size() >= allowance_) return std::nullopt;
            residentChunks_.push_back(chunk);
            ++everyViewsChunks_;
        }
        lastUse_[chunk] = uses_;
        return view_->bytes().subspan(offset, pageSize_);
    }
    // Whether `bytes` lie in the view: they then stay readable as long as this object lives.
    bool holds(std::span<const std::uint8_t> bytes) const {
        const auto whole = view_->bytes();
        const auto start = reinterpret_cast<std::uintptr_t>(whole.data());
        const auto at = reinterpret_cast<std::uintptr_t>(bytes.data());
        return !bytes.empty() && at >= start && at - start <= whole.size() - bytes.size();
    }
    // Gives back the memory of the pages read longest ago until at most the allowance is resident.
    // The allowance is worked out again every so many pages read, also while within it: the
    // process's own memory may have grown since.
    void release() {
        if (residentChunks_.size() > allowance_ || uses_ >= nextLook_) releaseLeastRecentlyUsed();
    }
    // Gives back the memory of every page read; they stay readable.
    void releaseAll();
    // A walk through pages in file order is done with page `number`: once it goes on into another
    // chunk, the one behind it goes back at once rather than pushing out pages read at random.
    void passed(std::uint32_t number) {
        const std::size_t chunk = (static_cast<std::size_t>(number) * pageSize_) >> kChunkShift;
        if (chunk != walked_) releaseWalked();
        walked_ = chunk;
    }
    void requireWholeRead() const;
    bool cutShort() const { return view_->cutShort(); }

private:
    static constexpr unsigned kChunkShift = 20;  // memory is given back in chunks of 1 MB
    // The process's memory is looked at again after this many pages read (a look reads a file).
    static constexpr std::uint64_t kReadsBetweenLooks = 512;

    MappedPages(std::unique_ptr<platform::FileView> view, std::filesystem::path path, std::uint32_t pageSize,
                std::size_t residentBytes, std::size_t processCeiling);
    // The chunks this view may hold now, from the process's own memory and the other views'.
    std::size_t allowanceNow() const;
    // Gives back the memory of one resident chunk.
    void giveBack(std::vector<std::size_t>::iterator resident);
    void releaseLeastRecentlyUsed();
    void releaseWalked();

    std::unique_ptr<platform::FileView> view_;
    std::filesystem::path path_;
    std::uint32_t pageSize_;
    std::size_t capacity_;                 // in chunks, held whatever the process holds
    std::size_t ceiling_;                  // in chunks, of the process's own memory and every view's
    std::size_t allowance_;                // in chunks, as last worked out
    std::uint64_t nextLook_ = 0;           // uses_ at which the allowance is worked out again
    std::vector<std::uint64_t> lastUse_;      // by chunk: when last read; 0 once given back
    std::vector<std::size_t> residentChunks_;  // the chunks read since last given back
    std::uint64_t uses_ = 0;
    std::size_t walked_ = SIZE_MAX;  // the chunk a walk in file order is in
    static std::atomic<std::size_t> everyViewsChunks_;  // resident in all views of the process
};

}  // namespace zestrel::jet
