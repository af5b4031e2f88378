#include "store/jet/catalog.h"

#include "store/jet/sort_key.h"
#include "store/jet/table_reader.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::jet {

namespace {

std::size_t columnIndex(const TableDefinition& table, const char16_t* name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == name) return i;
    throw CorruptData("the catalog has no column " + std::string(name, name + std::char_traits<char16_t>::length(name)));
}

template <typename T>
T integerOr(const Value& v, T fallback) {
    if (auto* p = std::get_if<std::int32_t>(&v)) return static_cast<T>(*p);
    if (auto* p = std::get_if<std::int16_t>(&v)) return static_cast<T>(*p);
    return fallback;
}

}  // namespace

Catalog Catalog::read(PageFile& pages, const Format& f) {
    const TableDefinition table = readTableDefinition(pages, f, kCatalogDefinitionPage);
    const std::size_t id = columnIndex(table, u"Id");
    const std::size_t parent = columnIndex(table, u"ParentId");
    const std::size_t name = columnIndex(table, u"Name");
    const std::size_t type = columnIndex(table, u"Type");
    const std::size_t flags = columnIndex(table, u"Flags");
    const std::size_t properties = columnIndex(table, u"LvProp");
    Catalog catalog;
    for (auto& row : readAllRows(pages, f, table)) {
        CatalogEntry e;
        e.id = integerOr<std::int32_t>(row.values[id], 0);
        e.parentId = integerOr<std::int32_t>(row.values[parent], 0);
        if (auto* text = std::get_if<std::u16string>(&row.values[name])) e.name = *text;
        e.type = integerOr<std::int16_t>(row.values[type], 0);
        e.flags = integerOr<std::int32_t>(row.values[flags], 0);
        if (auto* block = std::get_if<Bytes>(&row.values[properties])) e.properties = std::move(*block);
        catalog.entries_.push_back(std::move(e));
    }
    return catalog;
}

const CatalogEntry* Catalog::findTable(const std::u16string& name) const {
    for (const auto& e : entries_)
        if (e.isTable() && equalsIgnoringCase(e.name, name)) return &e;
    return nullptr;
}

std::vector<CatalogEntry> Catalog::tables(bool includeSystem) const {
    std::vector<CatalogEntry> out;
    for (const auto& e : entries_)
        if (e.isTable() && (includeSystem || !e.isSystem())) out.push_back(e);
    return out;
}

}  // namespace zestrel::jet
