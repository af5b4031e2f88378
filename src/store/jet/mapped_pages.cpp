#include "store/jet/mapped_pages.h"

#include <algorithm>

#include "platform/process_memory.h"

namespace zestrel::jet {

std::atomic<std::size_t> MappedPages::everyViewsChunks_{0};

std::unique_ptr<MappedPages> MappedPages::map(const platform::File& file, std::uint32_t pageSize,
                                              std::uint32_t pageCount, std::size_t residentBytes,
                                              std::size_t processCeiling) {
    auto view = platform::FileView::map(file, static_cast<std::uint64_t>(pageCount) * pageSize);
    if (!view) return nullptr;
    return std::unique_ptr<MappedPages>(
        new MappedPages(std::move(view), file.path(), pageSize, residentBytes, processCeiling));
}

MappedPages::MappedPages(std::unique_ptr<platform::FileView> view, std::filesystem::path path,
                         std::uint32_t pageSize, std::size_t residentBytes, std::size_t processCeiling)
    : view_(std::move(view)), path_(std::move(path)), pageSize_(pageSize),
      capacity_(std::max<std::size_t>(residentBytes >> kChunkShift, 2)), ceiling_(processCeiling >> kChunkShift),
      allowance_(capacity_), lastUse_((view_->bytes().size() >> kChunkShift) + 1, 0) {}

MappedPages::~MappedPages() { everyViewsChunks_ -= residentChunks_.size(); }

std::size_t MappedPages::allowanceNow() const {
    const auto own = platform::ownResidentBytes();
    const std::size_t others = everyViewsChunks_ - residentChunks_.size();
    const std::size_t taken = (own ? *own >> kChunkShift : ceiling_) + others;
    return taken >= ceiling_ ? capacity_ : std::max(capacity_, ceiling_ - taken);
}

void MappedPages::requireWholeRead() const {
    if (view_->cutShort()) throw platform::FileError("read", path_, platform::kCutShort);
}

void MappedPages::giveBack(std::vector<std::size_t>::iterator resident) {
    const std::size_t chunk = *resident;
    residentChunks_.erase(resident);
    --everyViewsChunks_;
    lastUse_[chunk] = 0;
    view_->release(chunk << kChunkShift, std::size_t{1} << kChunkShift);
}

void MappedPages::releaseAll() {
    while (!residentChunks_.empty()) giveBack(residentChunks_.end() - 1);
}

void MappedPages::releaseWalked() {
    if (walked_ >= lastUse_.size() || lastUse_[walked_] == 0) return;
    giveBack(std::find(residentChunks_.begin(), residentChunks_.end(), walked_));
}

void MappedPages::releaseLeastRecentlyUsed() {
    if (uses_ >= nextLook_) {
        allowance_ = allowanceNow();
        nextLook_ = uses_ + kReadsBetweenLooks;
        if (residentChunks_.size() <= allowance_) return;
    }
    while (residentChunks_.size() > allowance_)
        giveBack(std::min_element(residentChunks_.begin(), residentChunks_.end(),
                                  [&](std::size_t a, std::size_t b) { return lastUse_[a] < lastUse_[b]; }));
}

}  // namespace zestrel::jet
