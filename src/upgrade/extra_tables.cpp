#include "upgrade/extra_tables.h"

#include <algorithm>

#include "store/jet/database_file.h"
#include "store/jet/failure.h"

namespace zestrel::upgrade {

namespace {

std::u16string lowerCase(std::u16string text) {
    for (auto& c : text)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}

bool carriedOver(const std::u16string& name) {
    const std::u16string lower = lowerCase(name);
    return lower == u"recipe" || lower == u"ingred" || lower == u"version";
}

std::u16string digits(std::uint64_t number) {
    const std::string text = std::to_string(number);
    return {text.begin(), text.end()};
}

}  // namespace

std::vector<ExtraTable> tablesNotCarriedOver(dao::Database& source) {
    std::vector<ExtraTable> extra;
    for (const auto& name : source.tableNames(false)) {
        if (carriedOver(name)) continue;
        ExtraTable table{name, std::nullopt};
        try {
            auto& file = source.file();
            table.rows = file.rowLocations(file.tableDefinition(name)).size();
        } catch (const Failure&) {
            // Not copied, so not read whole: the message says only that it stayed behind.
        }
        extra.push_back(std::move(table));
    }
    return extra;
}

std::u16string notCarriedOverText(const std::vector<ExtraTable>& tables) {
    std::u16string text;
    for (const auto& table : tables) {
        if (!text.empty()) text += u" ";
        text += u"Table " + table.name;
        if (table.rows) text += u" (" + digits(*table.rows) + (*table.rows == 1 ? u" row)" : u" rows)");
        text += u" was not carried over; it is in the backup.";
    }
    return text;
}

}  // namespace zestrel::upgrade
