#include "store/jet/database_file.h"

#include <algorithm>
#include <cerrno>

#include "platform/clock.h"
#include "store/jet/database_creator.h"
#include "store/jet/failure.h"
#include "store/jet/long_value.h"
#include "store/jet/properties.h"
#include "store/jet/usage_map.h"
#include "text/utf8.h"

namespace zestrel::jet {

namespace {

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

Failure fileFailure(const platform::FileError& e, const std::filesystem::path& path) {
    switch (e.errorNumber()) {
    case ENOENT:
    case ENOTDIR: return Failure(failure::kFileNotFound, "Could not find file " + quoted(path) + ".");
    case EISDIR:
        return Failure(failure::kCannotOpenFile, "Cannot open " + quoted(path) + ": it is a folder, not a file.");
    case EACCES:
    case EPERM: return Failure(failure::kCannotOpenFile, "Cannot open " + quoted(path) + ": permission denied.");
    case EBUSY:
        return Failure(
            failure::kCannotOpenFile,
            "Cannot open " + quoted(path) + ": another program has it open. Close that program and try again.");
    case platform::kCutShort:
        return Failure(failure::kDiskIoError, "Disk or file error on " + quoted(path) +
                                                  ": it became shorter while it was being read (another program "
                                                  "changed it), or a part of it could not be read from the disk.");
    case EIO:
        if (e.operation() == "read")
            return Failure(failure::kCannotOpenDatabase,
                           "The database " + quoted(path) + " is damaged: it ends early.");
        [[fallthrough]];
    default: return Failure(failure::kDiskIoError, "Disk or file error on " + quoted(path) + ": " + e.what());
    }
}

}  // namespace

void throwFileFailure(const platform::FileError& error, const std::filesystem::path& path) {
    throw fileFailure(error, path);
}

void rethrowAsFailure(const std::filesystem::path& path) {
    try {
        throw;
    } catch (const Failure&) {
        throw;
    } catch (const TruncatedFile& e) {
        throw Failure(failure::kCannotOpenDatabase, "The database " + quoted(path) + " is damaged: " + e.what() + ".");
    } catch (const CorruptData& e) {
        throw Failure(failure::kCannotOpenDatabase,
                      "The database " + quoted(path) + " is damaged and cannot be read: " + e.what() + ".");
    } catch (const platform::FileError& e) {
        throw fileFailure(e, path);
    } catch (const std::bad_alloc&) {
        throw Failure(failure::kCannotOpenDatabase, "The database " + quoted(path) + " is too large to read.");
    }
}

DatabaseFile::DatabaseFile(std::filesystem::path path, PageFile pages, const Format& format)
    : path_(std::move(path)), pages_(std::move(pages)), format_(format) {}

std::shared_ptr<DatabaseFile> DatabaseFile::open(const std::filesystem::path& path,
                                                 std::optional<std::uint16_t> codePage, MemoryBounds bounds) {
    try {
        auto file = platform::File::open(path, platform::OpenMode::ReadOnly);
        const auto size = file.size();
        std::vector<std::uint8_t> start(static_cast<std::size_t>(std::min<std::uint64_t>(size, 4096)));
        file.readAt(0, start);
        const FormatVerdict verdict = identify(start);
        if (!verdict.version)
            throw Failure(failure::kUnrecognizedFormat,
                          "Unrecognized database format " + quoted(path) + ": " + verdict.reason + ".");
        const Format& format = formatFor(*verdict.version);
        if (size < static_cast<std::uint64_t>(format.pageSize) * (kCatalogDefinitionPage + 1))
            throw TruncatedFile(size, static_cast<std::uint64_t>(format.pageSize) * (kCatalogDefinitionPage + 1));
        std::shared_ptr<DatabaseFile> db(new DatabaseFile(path, PageFile(std::move(file), format.pageSize, bounds.cacheBytes, bounds.processCeiling), format));
        db->header_ = readHeader(db->pages_.page(0), format);
        const text::CodePage* named = text::findCodePage(codePage.value_or(db->header_.codePage));
        db->format_.codePage = named ? named : &text::westernEuropean();
        if (db->header_.databaseKey != 0)
            throw Failure(failure::kUnrecognizedFormat,
                          "Unrecognized database format " + quoted(path) + ": it is an encrypted " +
                              versionName(format.version) + " database, which this program does not read.");
        db->catalog_ = Catalog::read(db->pages_, db->format_);
        db->requireWhole(size);
        return db;
    } catch (...) {
        rethrowAsFailure(path);
    }
}

// A file cut short is told from the first: its size against the pages its tables' maps name (a
// partial page at the end counts as missing only when a map names it: a writer may be adding). The
// readers would otherwise meet the cut only where they read past it, and a cookbook missing its
// last pages could read as one of another version, or without some rows. Other damage is left to
// the reader that meets it (and to the check, which names every fault).
void DatabaseFile::requireWhole(std::uint64_t size) {
    const std::uint64_t pageSize = format_.pageSize;
    std::uint64_t promised = size;
    for (const auto& entry : catalog_.entries()) {
        if (!entry.isTable()) continue;
        try {
            const auto table = readTableDefinition(pages_, format_, entry.definitionPage());
            if (table.usageMap.page == 0) continue;
            const auto owned = readUsageMap(pages_, format_, table.usageMap, PastEnd::Keep);
            if (!owned.empty()) promised = std::max(promised, (owned.back() + std::uint64_t{1}) * pageSize);
        } catch (const TruncatedFile& e) {
            promised = std::max(promised, e.promisedBytes());
        } catch (const CorruptData&) {
            // Damage of another kind: for the reader or the check to name.
        }
    }
    if (promised > size && promised <= kLargestDatabaseBytes) throw TruncatedFile(size, promised);
}

TableDefinition DatabaseFile::tableDefinition(const std::u16string& name) {
    const CatalogEntry* entry = catalog_.findTable(name);
    if (!entry)
        throw Failure(failure::kTableNotFound,
                      "Cannot find the input table or query '" + text::toUtf8(name) + "' in " + quoted(path_) + ".");
    return guarded([&] {
        auto t = readTableDefinition(pages_, format_, entry->definitionPage());
        t.name = entry->name;
        const auto properties = parseProperties(entry->properties, format_);
        for (auto& column : t.columns)
            column.allowZeroLength = booleanProperty(properties, column.name, u"AllowZeroLength").value_or(false);
        return t;
    });
}

namespace {

DateTime now() {
    const auto t = platform::localNow();
    return makeDateTime(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day), t.hour, t.minute,
                        t.second);
}

Failure creationFailure(const platform::FileError& e, const std::filesystem::path& path) {
    switch (e.errorNumber()) {
    case EEXIST: return Failure(failure::kDatabaseExists, "Database " + quoted(path) + " already exists.");
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return Failure(failure::kNotAValidPath, quoted(path) + " is not a valid path: the folder does not exist.");
    case EACCES:
    case EPERM:
    case EROFS:
        return Failure(failure::kCannotOpenFile, "Cannot create " + quoted(path) + ": the folder cannot be written.");
    default: return Failure(failure::kDiskIoError, "Disk or file error creating " + quoted(path) + ": " + e.what());
    }
}

}  // namespace

std::shared_ptr<DatabaseFile> DatabaseFile::create(const std::filesystem::path& path) {
    if (path.empty() || !path.has_filename())
        throw Failure(failure::kNotAValidPath, quoted(path) + " is not a valid path for a database file.");
    platform::File file = [&] {
        try {
            // Readable by its owner alone until its access is set: a temporary copy of a cookbook
            // is never more open than the cookbook.
            return platform::File::open(path, platform::OpenMode::CreateNewPrivate);
        } catch (const platform::FileError& e) {
            throw creationFailure(e, path);
        }
    }();
    try {
        writeNewJet3Database(std::move(file), now());
    } catch (...) {
        platform::removeFile(path);  // a half-written database is no database
        rethrowAsFailure(path);
    }
    auto db = open(path);
    db->startWriting();
    return db;
}

WriteContext DatabaseFile::startWriting() {
    if (format_.version == JetVersion::Jet3 && codePageOf(format_).number() != text::westernEuropean().number())
        throw Failure(failure::kCannotUpdate, "Cannot update " + quoted(path_) + ": it keeps its text in code page " +
                                                  std::to_string(codePageOf(format_).number()) +
                                                  ", and this program writes text only in code page 1252.");
    if (!pages_.writable()) guarded([&] { pages_.enableWriting(); });
    ++writesBegun_;
    return WriteContext{pages_, format_, writerState_};
}

void DatabaseFile::createTable(const std::u16string& name, const std::vector<NewColumn>& columns) {
    if (catalog_.findTable(name))
        throw Failure(failure::kTableAlreadyExists,
                      "Table '" + text::toUtf8(name) + "' already exists in " + quoted(path_) + ".");
    if (format_.version != JetVersion::Jet3)
        throw Failure(failure::kOperationNotSupported, "Cannot create a table in " + quoted(path_) +
                                                           ": this program writes only Jet 3 databases.");
    auto context = startWriting();
    guarded([&] {
        atomically([&] {
            createUserTable(context, name, columns, now());
            pages_.flushAll();
        });
        catalog_ = Catalog::read(pages_, format_);
    });
}

RowPointer DatabaseFile::insertRow(TableDefinition& table, const RowLayout& layout, RowValues values) {
    checkWritable(table, format_);
    auto context = startWriting();
    const std::uint32_t rowCount = table.rowCount;
    try {
        return guarded([&] {
            pages_.trim();
            return atomically([&] { return jet::insertRow(context, table, layout, values); });
        });
    } catch (...) {
        table.rowCount = rowCount;
        throw;
    }
}

RowPointer DatabaseFile::updateRow(const TableDefinition& table, const RowLayout& layout, RowPointer at,
                                   RowValues values) {
    checkWritable(table, format_);
    auto context = startWriting();
    return guarded([&] {
        pages_.trim();
        return atomically([&] { return jet::updateRow(context, table, layout, at, values); });
    });
}

void DatabaseFile::flushAndSync() {
    guarded([&] {
        if (!pages_.writable()) return;
        pages_.flushAll();
        pages_.sync();
    });
}

void DatabaseFile::close() {
    if (!pages_.isOpen()) return;  // closed before: everything is on disk already
    flushAndSync();
    guarded([&] { pages_.close(); });
}

DatabaseFile::~DatabaseFile() {
    try {
        close();
    } catch (const std::exception&) {
        // Released without a close: there is no one left to tell.
    }
}

RowList DatabaseFile::rowLocations(const TableDefinition& table) {
    return guarded([&] { return jet::rowLocations(pages_, format_, table); });
}

std::span<const std::uint8_t> DatabaseFile::readRow(RowPointer at, std::vector<std::uint8_t>& copy) {
    return guarded([&]() -> std::span<const std::uint8_t> {
        pages_.trim();
        const auto bytes = rowAt(pages_, format_, at);
        if (pages_.inView(bytes)) return bytes;
        copy.assign(bytes.begin(), bytes.end());  // a frame is valid only until the next trim
        return copy;
    });
}

void DatabaseFile::storedText(const FieldLocation& field, const ColumnDefinition& column, Bytes& text) {
    const auto bytes = storedTextBytes(field, column, text);
    if (bytes.data() != text.data()) text.assign(bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> DatabaseFile::storedTextBytes(const FieldLocation& field, const ColumnDefinition& column,
                                                           Bytes& chained) {
    if (column.type == ColumnType::Text) return field.bytes;
    return guarded([&] {
        pages_.trim();
        return longValueBytes(pages_, format_, field.bytes, chained);
    });
}

Value DatabaseFile::decodeField(const FieldLocation& field, const ColumnDefinition& column) {
    return guarded([&] {
        pages_.trim();
        return jet::decodeField(field, column, format_, pages_);
    });
}

void DatabaseFile::forEachRow(const TableDefinition& table, const RowVisitor& visit) {
    guarded([&] { jet::forEachRow(pages_, format_, table, visit); });
}

std::map<std::uint32_t, std::uint64_t> DatabaseFile::rowsOnOwnedPages() {
    return guarded([&] { return jet::rowsOnOwnedPages(pages_, format_); });
}

void DatabaseFile::forEachRowWhile(const TableDefinition& table, const RowPredicate& visit) {
    guarded([&] { jet::forEachRowWhile(pages_, format_, table, visit); });
}

}  // namespace zestrel::jet
