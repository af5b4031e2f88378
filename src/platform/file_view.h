// A file's bytes seen in memory, read only, without copying them out of the
// system's file cache.
//
// A view covers the first `length` bytes of an open file as they are at the
// time of reading. Should the file become shorter under it (another program
// truncates it) or a part of it cannot be read from the disk, the bytes there
// read as zeros, never as a crash, and cutShort() says so from then on: a
// reader asks after it has read and treats what it read as unusable.
//
// The memory a view has touched counts towards the process; release() gives
// it back for a range, whose bytes stay readable (they are fetched from the
// file cache again when next read).
//
// Views are made on Linux only; elsewhere, and where the system declines (a
// file system that cannot map, no address space left), map() gives nothing and
// the caller reads with File::readAt instead. Mapping counts as one file
// operation ("map") for fault injection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/file.h"

namespace zestrel::platform {

class FileView {
public:
    // A view of the file's first `length` bytes, or nothing (see above). An injected fault
    // raises FileError as any file operation does.
    static std::unique_ptr<FileView> map(const File& file, std::uint64_t length);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    std::span<const std::uint8_t> bytes() const { return {start_, length_}; }
    // Whether some read found the file shorter than the view, or unreadable: those bytes were zeros.
    bool cutShort() const;
    // Gives back the memory of bytes offset..offset+length-1 (widened to whole system pages).
    void release(std::size_t offset, std::size_t length);

private:
    FileView(const std::uint8_t* start, std::size_t length, int slot);
    const std::uint8_t* start_;
    std::size_t length_;
    int slot_;  // the view's entry in the table the bus-error handler consults
};

}  // namespace zestrel::platform
