#include "store/jet/page_file.h"

#include <algorithm>
#include <cstring>

#include "store/jet/format.h"

namespace zestrel::jet {

namespace {

// Pages written with one call when they lie next to each other in the file.
constexpr std::size_t kMaxWriteRun = 64;
// Pages read with one call: a page not cached brings the uncached pages after it, since
// tables, their long values and the checks are mostly read in page order.
constexpr std::uint32_t kReadAhead = 16;

// A view of a file being read may hold at least one and a half times the cache's size resident
// (more while the process holds little else, see MappedPages): its pages cost neither a copy nor
// a frame, and a table read in the order of a key (rows stored in no order of it, with their long
// values) wants much of the file at hand; yet what it holds counts as the process's memory.
std::size_t viewResidentBytes(std::size_t cacheBytes) { return cacheBytes + cacheBytes / 2; }

// While a file is only read from its view, frames hold only the pages read out of order that the
// view leaves to us: a few, so that they take little of the memory the view may hold.
constexpr std::size_t kOutOfOrderFrameBytes = std::size_t{256} << 10;

std::size_t framesFor(std::size_t bytes, std::uint32_t pageSize) { return std::max<std::size_t>(bytes / pageSize, 16); }

// Frames are carved from large blocks, so a page must fit one.
std::uint32_t checkedPageSize(std::uint32_t pageSize) {
    if (pageSize == 0 || pageSize > platform::kLargeBlockBytes) throw CorruptData("a page size no Jet file has");
    return pageSize;
}

}  // namespace

PageFile::PageFile(platform::File file, std::uint32_t pageSize, std::size_t cacheBytes, std::size_t processCeiling)
    : file_(std::move(file)), pageSize_(checkedPageSize(pageSize)),
      pageCount_(static_cast<std::uint32_t>(file_.size() / pageSize_)),
      mapped_(MappedPages::map(file_, pageSize_, pageCount_, viewResidentBytes(cacheBytes), processCeiling)),
      capacity_(framesFor(mapped_ ? std::min(cacheBytes, kOutOfOrderFrameBytes) : cacheBytes, pageSize_)),
      writingCapacity_(framesFor(cacheBytes, pageSize_)) {}

std::span<std::uint8_t> PageFile::frameBytes() {
    if (blocks_.empty() || platform::kLargeBlockBytes - blockUsed_ < pageSize_) {
        // A huge page is resident whole: only a block the cache's size will fill asks for one,
        // not the last one, which holds the few pages a change may take past that size.
        const std::size_t perBlock = platform::kLargeBlockBytes / pageSize_;
        blocks_.push_back(platform::allocateLargeBlock((blocks_.size() + 1) * perBlock <= capacity_));
        blockUsed_ = 0;
    }
    const std::span<std::uint8_t> bytes(blocks_.back().get() + blockUsed_, pageSize_);
    blockUsed_ += pageSize_;
    return bytes;
}

PageFile::Frame& PageFile::newFrame(std::uint32_t number) {
    std::uint32_t index;
    if (!freeFrames_.empty()) {
        index = freeFrames_.back();
        freeFrames_.pop_back();
    } else {
        index = static_cast<std::uint32_t>(frames_.size());
        frames_.push_back(Frame{frameBytes(), 0, false, false, false});
    }
    Frame& frame = frames_[index];
    frame.page = number;
    frame.used = true;
    frame.dirty = false;
    frame.referenced = true;
    if (frameOf_.size() < pageCount_) frameOf_.resize(pageCount_, 0);
    frameOf_[number] = index + 1;
    ++resident_;
    return frame;
}

void PageFile::throwBeyondEnd(std::uint64_t number) const {
    throwPageBeyondEnd(fileBytes(), number, pageSize_, "a page pointer leads past the end of the file");
}

bool PageFile::cached(std::uint32_t number) const { return number < frameOf_.size() && frameOf_[number] != 0; }

PageFile::Frame& PageFile::load(std::uint32_t number, bool readAhead) {
    if (number >= pageCount_) throwBeyondEnd(number);
    if (cached(number)) {
        Frame& frame = frames_[frameOf_[number] - 1];
        frame.referenced = true;
        return frame;
    }
    std::uint32_t end = number + 1;
    while (readAhead && end < pageCount_ && end - number < kReadAhead && !cached(end)) ++end;
    // The frames come first: pages whose frames lie one after another in memory (as they do
    // while the cache fills) are read straight into them.
    for (std::uint32_t page = number; page < end; ++page) {
        newFrame(page);
        // A page read ahead is not used yet: the first to go when the cache is full.
        if (page != number) frameAt(page).referenced = false;
    }
    try {
        readPages(number, end);
    } catch (...) {
        for (std::uint32_t page = number; page < end; ++page) drop(page);
        throw;
    }
    return frameAt(number);
}

bool PageFile::adjacentInMemory(std::uint32_t first, std::uint32_t end) {
    for (std::uint32_t page = first + 1; page < end; ++page)
        if (frameAt(page).bytes.data() != frameAt(page - 1).bytes.data() + pageSize_) return false;
    return true;
}

void PageFile::readPages(std::uint32_t first, std::uint32_t end) {
    const std::size_t length = static_cast<std::size_t>(end - first) * pageSize_;
    const std::uint64_t offset = static_cast<std::uint64_t>(first) * pageSize_;
    if (adjacentInMemory(first, end)) return file_.readAt(offset, std::span(frameAt(first).bytes.data(), length));
    readRun_.resize(length);
    file_.readAt(offset, readRun_);
    for (std::uint32_t page = first; page < end; ++page) {
        const auto from = readRun_.begin() + static_cast<std::ptrdiff_t>(page - first) * pageSize_;
        std::copy(from, from + pageSize_, frameAt(page).bytes.begin());
    }
}

std::span<const std::uint8_t> PageFile::page(std::uint32_t number) {
    if (!mapped_ || writable_) return load(number).bytes;
    if (number >= pageCount_) throwBeyondEnd(number);
    if (const auto inView = mapped_->page(number)) return *inView;
    // A page the view leaves to us is read out of order: the pages after it are not wanted.
    return load(number, false).bytes;
}

bool PageFile::inView(std::span<const std::uint8_t> bytes) const { return readsFromView() && mapped_->holds(bytes); }

void PageFile::enableWriting() {
    if (writable_) return;
    file_.reopenForWriting();
    writable_ = true;
    capacity_ = writingCapacity_;
}

std::span<std::uint8_t> PageFile::mutablePage(std::uint32_t number) {
    Frame& frame = load(number);
    if (changing_ && number < pageCountBeforeChange_) rememberBeforeChange(frame);
    frame.dirty = true;
    return frame.bytes;
}

bool PageFile::rememberedWhole(std::uint32_t number) const {
    for (const BeforeChange& before : beforeChange_)
        if (before.page == number && before.whole) return true;
    return false;
}

void PageFile::rememberBytes(const Frame& frame, bool whole, std::size_t offset, std::size_t length) {
    const std::size_t kept = beforeBytesUsed_;
    // Grown by doubling, and never shrunk: the bytes are copied in, not appended.
    if (beforeBytes_.size() - kept < length) beforeBytes_.resize(std::max(2 * beforeBytes_.size(), kept + length));
    std::memcpy(beforeBytes_.data() + kept, frame.bytes.data() + offset, length);
    beforeBytesUsed_ += length;
    beforeChange_.push_back({frame.page, frame.dirty, whole, offset, length, kept});
}

void PageFile::rememberBeforeChange(const Frame& frame) {
    if (rememberedWhole(frame.page)) return;
    rememberBytes(frame, true, 0, frame.bytes.size());
}

std::span<std::uint8_t> PageFile::mutablePage(std::uint32_t number, std::initializer_list<ByteRange> changing) {
    Frame& frame = load(number);
    if (changing_ && number < pageCountBeforeChange_ && !rememberedWhole(number)) {
        for (const ByteRange& range : changing) {
            if (range.offset > pageSize_ || range.length > pageSize_ - range.offset)
                throw CorruptData("a change names bytes outside its page");
            rememberBytes(frame, false, range.offset, range.length);
        }
    }
    frame.dirty = true;
    return frame.bytes;
}

std::uint32_t PageFile::appendPage() {
    const std::uint32_t number = pageCount_++;
    Frame& frame = newFrame(number);
    std::fill(frame.bytes.begin(), frame.bytes.end(), std::uint8_t{0});
    frame.dirty = true;
    return number;
}

void PageFile::drop(std::uint32_t number) {
    const std::uint32_t index = frameOf_[number] - 1;
    frameOf_[number] = 0;
    frames_[index].used = false;
    frames_[index].dirty = false;
    freeFrames_.push_back(index);
    --resident_;
}

bool PageFile::cachedAndChanged(std::uint32_t number) const { return cached(number) && frames_[frameOf_[number] - 1].dirty; }

void PageFile::writeRun(std::uint32_t first, std::uint32_t end) {
    std::span<const std::uint8_t> pages;
    if (adjacentInMemory(first, end)) {
        pages = std::span(frameAt(first).bytes.data(), static_cast<std::size_t>(end - first) * pageSize_);
    } else {  // gathered into one buffer
        writeRun_.clear();
        for (std::uint32_t page = first; page < end; ++page)
            writeRun_.insert(writeRun_.end(), frameAt(page).bytes.begin(), frameAt(page).bytes.end());
        pages = writeRun_;
    }
    if (changing_)
        for (std::uint32_t page = first; page < end; ++page) writtenInChange_.insert(page);
    file_.writeAt(static_cast<std::uint64_t>(first) * pageSize_, pages);
    for (std::uint32_t page = first; page < end; ++page) frameAt(page).dirty = false;
}

// The changed pages next to it go with it: one call instead of many, and a file system block
// filled whole is not first read or cleared.
void PageFile::writeRunAround(std::uint32_t number) {
    std::uint32_t first = number;
    std::uint32_t end = number + 1;
    while (first > 0 && end - first < kMaxWriteRun && cachedAndChanged(first - 1)) --first;
    while (end < pageCount_ && end - first < kMaxWriteRun && cachedAndChanged(end)) ++end;
    writeRun(first, end);
}

void PageFile::evict(Frame& frame) {
    if (frame.dirty) writeRunAround(frame.page);  // on failure the pages stay, still changed
    drop(frame.page);
}

void PageFile::evictToCapacity() {
    // The clock: a page used since the hand last passed gets another round.
    for (std::size_t visited = 0; resident_ > capacity_ && visited < 3 * frames_.size(); ++visited) {
        hand_ = (hand_ + 1) % frames_.size();
        Frame& frame = frames_[hand_];
        if (!frame.used) continue;
        if (frame.referenced) {
            frame.referenced = false;
            continue;
        }
        evict(frame);
    }
}

void PageFile::flush() {
    std::vector<std::uint32_t> dirty;
    for (const Frame& frame : frames_)
        if (frame.used && frame.dirty) dirty.push_back(frame.page);
    std::sort(dirty.begin(), dirty.end());
    for (std::size_t i = 0; i < dirty.size();) {
        std::size_t end = i + 1;
        while (end < dirty.size() && end - i < kMaxWriteRun && dirty[end] == dirty[end - 1] + 1) ++end;
        writeRun(dirty[i], dirty[end - 1] + 1);
        i = end;
    }
}

void PageFile::beginChange() {
    changing_ = true;
    pageCountBeforeChange_ = pageCount_;
    beforeChange_.clear();
    beforeBytesUsed_ = 0;
    writtenInChange_.clear();
}

void PageFile::commitChange() {
    changing_ = false;
    beforeChange_.clear();
    beforeBytesUsed_ = 0;
    writtenInChange_.clear();
}

void PageFile::rollbackChange() {
    // Nothing is evicted during a change, so every page it touched is still cached. Undone last
    // first, so that each page ends as its earliest record shows it.
    for (std::size_t i = beforeChange_.size(); i-- > 0;) {
        const BeforeChange& before = beforeChange_[i];
        Frame& frame = frames_[frameOf_[before.page] - 1];
        std::memcpy(frame.bytes.data() + before.offset, beforeBytes_.data() + before.kept, before.length);
        frame.dirty = before.dirty || writtenInChange_.count(before.page) > 0;  // the file may hold the undone bytes
    }
    for (std::uint32_t number = pageCountBeforeChange_; number < pageCount_; ++number)
        if (number < frameOf_.size() && frameOf_[number] != 0) drop(number);
    pageCount_ = pageCountBeforeChange_;
    if (frameOf_.size() > pageCount_) frameOf_.resize(pageCount_);
    commitChange();
}

void PageFile::sync() { file_.sync(); }

void PageFile::close() {
    const bool cutShort = mapped_ && mapped_->cutShort();
    mapped_.reset();
    file_.close();
    if (cutShort) throw platform::FileError("read", file_.path(), platform::kCutShort);
}

}  // namespace zestrel::jet
