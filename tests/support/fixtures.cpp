#include "support/fixtures.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <random>

#include "platform/file.h"
#include "store/jet/check/database_check.h"
#include "store/jet/failure.h"

namespace zestrel::test {

std::filesystem::path sharedDir() { return ZESTREL_SHARED_DIR; }
std::filesystem::path jetFixturesDir() { return sharedDir() / "fixtures" / "jet"; }
std::filesystem::path binDir() { return ZESTREL_BIN_DIR; }
std::filesystem::path zestrelProgram() { return binDir() / "zestrel"; }
std::filesystem::path toolsDir() { return ZESTREL_TOOLS_DIR; }

std::vector<std::filesystem::path> jetFixtures() {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(jetFixturesDir())) return files;
    for (const auto& entry : std::filesystem::directory_iterator(jetFixturesDir()))
        if (entry.path().extension() == ".mdb") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void copyFixtureFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::copy_file(from, to);
    std::filesystem::permissions(to, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

std::filesystem::path makeTempDir(const std::string& tag) {
    std::random_device seed;
    auto dir = std::filesystem::temp_directory_path() / ("zestrel-" + tag + "-" + std::to_string(seed()));
    std::filesystem::create_directories(dir);
    return dir;
}

std::optional<std::filesystem::path> makeTempDirOnOtherFileSystem(const std::string& tag) {
    const std::filesystem::path shared("/dev/shm");
    const auto here = platform::fileIdentity(std::filesystem::temp_directory_path());
    const auto there = platform::fileIdentity(shared);
    std::error_code error;
    if (!here || !there || here->first == there->first || !std::filesystem::is_directory(shared, error))
        return std::nullopt;
    std::random_device seed;
    auto dir = shared / ("zestrel-" + tag + "-" + std::to_string(seed()));
    if (!std::filesystem::create_directories(dir, error)) return std::nullopt;
    return dir;
}

void expectPassesCheck(const std::filesystem::path& path) {
    const auto report = jet::check::checkDatabaseFile(path, jet::check::CheckMode::Strict);
    for (const auto& fault : report.faults) ADD_FAILURE() << path << " fails the structural check: " << fault;
}

void checkAndRemoveTempDir(const std::filesystem::path& dir, const std::vector<std::string>& unchecked) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, error)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".mdb" && extension != ".rcp")) continue;
        if (std::find(unchecked.begin(), unchecked.end(), entry.path().filename().string()) != unchecked.end()) continue;
        jet::check::CheckReport report;
        try {
            report = jet::check::checkDatabaseFile(entry.path(), jet::check::CheckMode::Strict);
        } catch (const ::zestrel::Failure&) {
            continue;  // not a database at all: bad input a test made on purpose
        }
        for (const auto& fault : report.faults)
            ADD_FAILURE() << entry.path() << " fails the structural check: " << fault;
    }
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(dir, error);
}

std::string textFile(const std::filesystem::path& path) {
    std::string text = fileBytes(path);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

std::size_t residentFileKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssFile:", 0) == 0) return std::stoul(line.substr(8));
    return 0;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

platform::File holdAsAnotherRun(const std::filesystem::path& cookbook) {
    // Where the lock wants no handle open for writing (Windows), a run holds the cookbook to read.
    const auto mode = platform::File::kWriteLockWantsWritableHandle ? platform::OpenMode::ReadWrite
                                                                     : platform::OpenMode::ReadOnly;
    platform::File held = platform::File::open(cookbook, mode);
    EXPECT_TRUE(held.tryWriteLock()) << cookbook;
    return held;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string fixtureTestName(const ::testing::TestParamInfo<std::filesystem::path>& info) {
    std::string name = info.param.stem().string();
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace zestrel::test
