#include "store/jet/page_file.h"

#include "store/jet/format.h"

namespace zestrel::jet {

PageFile::PageFile(platform::File file, std::uint32_t pageSize)
    : file_(std::move(file)), pageSize_(pageSize),
      pageCount_(static_cast<std::uint32_t>(file_.size() / pageSize)) {}

std::vector<std::uint8_t>& PageFile::load(std::uint32_t number) {
    if (number >= pageCount_) throw CorruptData("a page pointer leads past the end of the file");
    if (cache_.size() < pageCount_) cache_.resize(pageCount_);
    auto& slot = cache_[number];
    if (!slot) {
        auto bytes = std::make_unique<std::vector<std::uint8_t>>(pageSize_);
        file_.readAt(static_cast<std::uint64_t>(number) * pageSize_, *bytes);
        slot = std::move(bytes);
    }
    return *slot;
}

std::span<const std::uint8_t> PageFile::page(std::uint32_t number) { return load(number); }

void PageFile::enableWriting() {
    if (writable_) return;
    file_.reopenForWriting();
    writable_ = true;
}

std::span<std::uint8_t> PageFile::mutablePage(std::uint32_t number) {
    auto& bytes = load(number);
    if (changing_ && number < pageCountBeforeChange_) beforeChange_.try_emplace(number, bytes);
    dirty_.insert(number);
    return bytes;
}

void PageFile::beginChange() {
    changing_ = true;
    pageCountBeforeChange_ = pageCount_;
    beforeChange_.clear();
    writtenInChange_.clear();
}

void PageFile::commitChange() {
    changing_ = false;
    beforeChange_.clear();
    writtenInChange_.clear();
}

void PageFile::rollbackChange() {
    for (auto& [number, bytes] : beforeChange_) {
        *cache_.at(number) = std::move(bytes);
        deferred_.erase(number);
        dirty_.erase(number);
        if (writtenInChange_.count(number)) dirty_.insert(number);  // the file holds the undone bytes
    }
    for (std::uint32_t number = pageCountBeforeChange_; number < pageCount_; ++number) {
        dirty_.erase(number);
        deferred_.erase(number);
    }
    pageCount_ = pageCountBeforeChange_;
    cache_.resize(pageCount_);
    commitChange();
}

std::uint32_t PageFile::appendPage() {
    std::uint32_t number = pageCount_++;
    cache_.resize(pageCount_);
    cache_[number] = std::make_unique<std::vector<std::uint8_t>>(pageSize_, 0);
    dirty_.insert(number);
    return number;
}

void PageFile::deferPage(std::uint32_t number) {
    if (dirty_.erase(number)) deferred_.insert(number);
}

void PageFile::flush() {
    if (!deferred_.empty() && (dirty_.size() > 1 || ++flushesSinceDeferred_ >= kDeferredFlushes)) {
        dirty_.insert(deferred_.begin(), deferred_.end());
        deferred_.clear();
        flushesSinceDeferred_ = 0;
    }
    for (std::uint32_t number : dirty_) {
        if (changing_) writtenInChange_.insert(number);
        file_.writeAt(static_cast<std::uint64_t>(number) * pageSize_, *cache_.at(number));
    }
    dirty_.clear();
}

void PageFile::flushAll() {
    dirty_.insert(deferred_.begin(), deferred_.end());
    deferred_.clear();
    flush();
}

void PageFile::sync() { file_.sync(); }

void PageFile::close() { file_.close(); }

}  // namespace zestrel::jet
