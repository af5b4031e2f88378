#include "store/jet/row_list.h"

#include <algorithm>

namespace zestrel::jet {

namespace {

void appendNumber(std::vector<std::uint8_t>& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

std::uint64_t readNumber(const std::uint8_t* bytes, std::size_t& at) {
    std::uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const std::uint8_t byte = bytes[at++];
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return value;
    }
}

}  // namespace

void RowList::push_back(std::uint32_t location) {
    if (open_.length > 0 && location == open_.first + open_.length && open_.length < UINT32_MAX) {
        ++open_.length;
    } else {
        if (open_.length > 0) closeRun();
        open_ = {location, 1, size_};
    }
    ++size_;
}

void RowList::closeRun() {
    if (runs_ % kRunsPerMark == 0) marks_.push_back({bytes_.size(), open_.position, endBefore_});
    const std::int64_t distance = static_cast<std::int64_t>(open_.first) - static_cast<std::int64_t>(endBefore_);
    const auto zigzag = static_cast<std::uint64_t>(distance < 0 ? ((-distance) << 1) - 1 : distance << 1);
    appendNumber(bytes_, zigzag * 2 + (open_.length > 1 ? 1 : 0));
    if (open_.length > 1) appendNumber(bytes_, open_.length - 2);
    endBefore_ = open_.first + open_.length;
    ++runs_;
}

void RowList::decodeNext() const {
    const std::uint64_t value = readNumber(bytes_.data(), cursorNextByte_);
    const std::uint64_t zigzag = value >> 1;
    const std::int64_t distance =
        (zigzag & 1) ? -static_cast<std::int64_t>((zigzag + 1) >> 1) : static_cast<std::int64_t>(zigzag >> 1);
    const std::size_t position = cursorValid_ ? cursor_.position + cursor_.length : cursor_.position;
    cursor_.first = static_cast<std::uint32_t>(static_cast<std::int64_t>(cursorEnd_) + distance);
    cursor_.length = (value & 1) ? static_cast<std::uint32_t>(readNumber(bytes_.data(), cursorNextByte_) + 2) : 1;
    cursor_.position = position;
    cursorEnd_ = cursor_.first + cursor_.length;
    cursorValid_ = true;
}

void RowList::seek(std::size_t position) const {
    // Reading on from the cursor serves a walk forwards; a position further on, or behind, is
    // reached from its mark.
    constexpr std::size_t kReadOn = 256;
    if (!cursorValid_ || position < cursor_.position || position - cursor_.position >= cursor_.length + kReadOn) {
        const auto mark = std::upper_bound(marks_.begin(), marks_.end(), position,
                                           [](std::size_t p, const Mark& m) { return p < m.position; }) - 1;
        cursorNextByte_ = mark->byte;
        cursorEnd_ = mark->endBefore;
        cursor_ = {0, 0, mark->position};
        cursorValid_ = false;
    }
    while (!cursorValid_ || position >= cursor_.position + cursor_.length) decodeNext();
}

std::uint32_t RowList::operator[](std::size_t position) const {
    if (!moved_.empty()) {
        if (const auto found = moved_.find(position); found != moved_.end()) return found->second;
    }
    return added(position);
}

std::uint32_t RowList::added(std::size_t position) const {
    if (position >= open_.position) return open_.first + static_cast<std::uint32_t>(position - open_.position);
    if (!cursorValid_ || position < cursor_.position || position >= cursor_.position + cursor_.length) seek(position);
    return cursor_.first + static_cast<std::uint32_t>(position - cursor_.position);
}

void RowList::set(std::size_t position, std::uint32_t location) {
    if (added(position) == location) {
        moved_.erase(position);
        return;
    }
    moved_[position] = location;
}

std::size_t RowList::bytesHeld() const {
    return bytes_.capacity() + marks_.capacity() * sizeof(Mark) + moved_.size() * 48;
}

}  // namespace zestrel::jet
