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
#include <string>
#include <vector>

#include "store/jet/catalog.h"
#include "store/jet/format.h"
#include "store/jet/header_page.h"
#include "store/jet/page_file.h"
#include "store/jet/table_reader.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::jet {

class DatabaseFile {
public:
    static std::shared_ptr<DatabaseFile> open(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    const Format& format() const { return *format_; }
    const HeaderInfo& header() const { return header_; }
    const Catalog& catalog() const { return catalog_; }
    PageFile& pages() { return pages_; }

    TableDefinition tableDefinition(const std::u16string& name);
    std::vector<StoredRow> readRows(const TableDefinition& table);

    // Runs an engine step, turning its low-level errors into failures that name this file.
    template <typename Step>
    auto guarded(Step&& step) -> decltype(step());

private:
    DatabaseFile(std::filesystem::path path, PageFile pages, const Format& format);

    std::filesystem::path path_;
    PageFile pages_;
    const Format* format_;
    HeaderInfo header_{};
    Catalog catalog_;
};

// Turns the exception in flight (CorruptData, platform::FileError, Failure) into a Failure naming `path`.
[[noreturn]] void rethrowAsFailure(const std::filesystem::path& path);

template <typename Step>
auto DatabaseFile::guarded(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (...) {
        rethrowAsFailure(path_);
    }
}

}  // namespace zestrel::jet
