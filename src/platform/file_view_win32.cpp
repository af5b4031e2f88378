#include "platform/file_view.h"

#include "platform/fault_injection.h"

namespace zestrel::platform {

// On Windows a read from a mapped view that fails (a network file gone) is an exception no
// reader here could turn into a failure, so files are read with ReadFile only.
std::unique_ptr<FileView> FileView::map(const File& file, std::uint64_t /*length*/) {
    faults::check("map", file.path());
    return nullptr;
}

FileView::FileView(const std::uint8_t* start, std::size_t length, int slot)
    : start_(start), length_(length), slot_(slot) {}

FileView::~FileView() = default;

bool FileView::cutShort() const { return false; }

void FileView::release(std::size_t /*offset*/, std::size_t /*length*/) {}

}  // namespace zestrel::platform
