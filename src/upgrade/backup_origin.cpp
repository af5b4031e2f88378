#include "upgrade/backup_origin.h"

#include <chrono>
#include <string>

#include "upgrade/record_file.h"
#include "upgrade/record_text.h"

namespace zestrel::upgrade {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRecordSuffix = "_origin.txt";
constexpr std::string_view kKeptExtension = ".rcp";
const std::vector<std::string_view> kKeys = {"given",         "resolved", "device",           "inode",
                                             "size",          "modified", "made",             "upgraded-device",
                                             "upgraded-inode"};

std::string_view kindLine(KeptAs kind) {
    return kind == KeptAs::Backup ? "zestrel backup origin 1" : "zestrel kept upgrade origin 1";
}

std::string numberText(std::uint64_t value) { return std::to_string(value); }

std::string optionalNumber(const std::optional<std::uint64_t>& value) { return value ? numberText(*value) : "none"; }

std::optional<std::optional<std::uint64_t>> readOptional(const std::string& text) {
    if (text == "none") return std::optional<std::uint64_t>();
    const auto value = record::unsignedNumber(text);
    if (!value) return std::nullopt;
    return std::optional<std::uint64_t>(*value);
}

}  // namespace

bool CookbookOrigin::belongsTo(const fs::path& resolvedPath, const std::optional<Identity>& now) const {
    return resolved == resolvedPath || (now && upgraded && *now == *upgraded);
}

fs::path originNameFor(const fs::path& keptName) {
    std::string name = record::pathBytes(keptName.filename());
    if (name.size() >= kKeptExtension.size()) name.resize(name.size() - kKeptExtension.size());
    return record::pathFromBytes(name + std::string(kRecordSuffix));
}

std::optional<fs::path> keptNameOf(const fs::path& recordName) {
    const std::string name = record::pathBytes(recordName.filename());
    if (name.size() <= kRecordSuffix.size() || name.compare(name.size() - kRecordSuffix.size(), kRecordSuffix.size(), kRecordSuffix) != 0)
        return std::nullopt;
    return record::pathFromBytes(name.substr(0, name.size() - kRecordSuffix.size()) + std::string(kKeptExtension));
}

void writeOrigin(const platform::Folder& backupFolder, const fs::path& keptName, KeptAs kind,
                 const CookbookOrigin& origin) {
    const record::Fields fields = {
        {"given", record::pathBytes(origin.given)},
        {"resolved", record::pathBytes(origin.resolved)},
        {"device", numberText(origin.identity.first)},
        {"inode", numberText(origin.identity.second)},
        {"size", numberText(origin.size)},
        {"modified", std::to_string(origin.modified)},
        {"made", std::to_string(origin.madeAt)},
        {"upgraded-device", optionalNumber(origin.upgraded ? std::optional(origin.upgraded->first) : std::nullopt)},
        {"upgraded-inode", optionalNumber(origin.upgraded ? std::optional(origin.upgraded->second) : std::nullopt)},
    };
    writeRecordFile(backupFolder, originNameFor(keptName), record::write(kindLine(kind), fields));
}

std::optional<CookbookOrigin> readOrigin(const platform::Folder& backupFolder, const fs::path& keptName, KeptAs kind) {
    const auto text = readRecordFile(backupFolder, originNameFor(keptName));
    if (!text) return std::nullopt;
    const auto values = record::read(*text, kindLine(kind), kKeys);
    if (!values) return std::nullopt;
    const auto& v = *values;
    const auto device = record::unsignedNumber(v[2]);
    const auto inode = record::unsignedNumber(v[3]);
    const auto size = record::unsignedNumber(v[4]);
    const auto modified = record::number(v[5]);
    const auto made = record::number(v[6]);
    const auto upgradedDevice = readOptional(v[7]);
    const auto upgradedInode = readOptional(v[8]);
    if (!device || !inode || !size || !modified || !made || !upgradedDevice || !upgradedInode || v[1].empty() ||
        upgradedDevice->has_value() != upgradedInode->has_value())
        return std::nullopt;
    CookbookOrigin origin{record::pathFromBytes(v[0]), record::pathFromBytes(v[1]), {*device, *inode}, *size, *modified, *made, std::nullopt};
    if (upgradedDevice->has_value()) origin.upgraded = Identity{**upgradedDevice, **upgradedInode};
    return origin;
}

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace zestrel::upgrade
