// Thousands of damaged variants of the real fixtures (truncated, bytes changed,
// page pointers changed) go through open, catalog and a full read of every
// table, each in a child process with a time limit: every variant must end in
// success or a numbered failure, never a crash, a sanitizer report or a hang.
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "support/stored_rows.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;

constexpr int kVariantsPerFixture = 220;
constexpr unsigned kSecondsPerVariant = 20;
constexpr int kExitRead = 0;
constexpr int kExitNumberedFailure = 10;
constexpr int kExitOtherException = 11;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

enum class Damage { Truncate, ChangeBytes, ChangePointer };

std::string damage(std::string bytes, Damage kind, std::mt19937& rng, std::size_t pageSize) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    // Most damage goes to the first pages, where the header, catalog and definitions live.
    auto offset = [&] { return pick(2) ? pick(std::min(bytes.size(), pageSize * 8)) : pick(bytes.size()); };
    switch (kind) {
    case Damage::Truncate: bytes.resize(pick(bytes.size())); break;
    case Damage::ChangeBytes:
        for (std::size_t i = 0, n = 1 + pick(16); i < n; ++i) bytes[offset()] = static_cast<char>(pick(256));
        break;
    case Damage::ChangePointer: {
        const std::size_t at = offset() & ~std::size_t{3};
        if (at + 4 > bytes.size()) break;
        const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / pageSize);
        const std::uint32_t choices[] = {static_cast<std::uint32_t>(pick(pages + 4) << 8 | pick(4)), 0xFFFFFFFFu,
                                         static_cast<std::uint32_t>(pick(pages + 4)),
                                         static_cast<std::uint32_t>(rng())};
        const std::uint32_t value = choices[pick(4)];
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
        break;
    }
    }
    return bytes;
}

// In the child: read everything, exit with what happened.
[[noreturn]] void readEverything(const fs::path& path) {
    alarm(kSecondsPerVariant);
    if (!kUnderAddressSanitizer) {
        const rlimit memory{1u << 30, 1u << 30};  // a damaged length must not make it allocate wildly
        setrlimit(RLIMIT_AS, &memory);
    }
    try {
        auto db = DatabaseFile::open(path);
        for (const auto& entry : db->catalog().tables(true)) test::readRows(*db, db->tableDefinition(entry.name));
        _exit(kExitRead);
    } catch (const Failure& f) {
        _exit(f.number() > 0 ? kExitNumberedFailure : kExitOtherException);
    } catch (...) {
        _exit(kExitOtherException);
    }
}

std::string outcome(int status) {
    if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "hang" : "signal " + std::to_string(WTERMSIG(status));
    const int code = WEXITSTATUS(status);
    if (code == kExitRead || code == kExitNumberedFailure) return "";
    return code == kExitOtherException ? "failure without a number" : "exit " + std::to_string(code);
}

TEST(DamagedFiles, EveryVariantEndsInSuccessOrANumberedFailure) {
    ZESTREL_REQUIRE_SHARED();
    const fs::path dir = test::makeTempDir("damaged");
    std::mt19937 rng(20261207);
    int variants = 0;
    int failures = 0;
    for (const auto& fixture : test::jetFixtures()) {
        const std::string original = test::fileBytes(fixture);
        const std::size_t pageSize = original[0x14] == 0 ? 2048 : 4096;
        for (int i = 0; i < kVariantsPerFixture; ++i) {
            const auto kind = static_cast<Damage>(i % 3);
            const fs::path path = dir / "variant.mdb";
            std::ofstream(path, std::ios::binary | std::ios::trunc) << damage(original, kind, rng, pageSize);
            std::fflush(nullptr);
            const pid_t child = fork();
            if (child == 0) readEverything(path);
            int status = 0;
            waitpid(child, &status, 0);
            ++variants;
            const std::string what = outcome(status);
            if (!what.empty()) {
                ++failures;
                const fs::path kept = dir / (fixture.stem().string() + "-" + std::to_string(i) + ".mdb");
                fs::copy_file(path, kept);
                ADD_FAILURE() << what << " reading a damaged " << fixture.filename() << ", kept as " << kept;
            }
        }
    }
    std::cout << variants << " damaged variants read, " << failures << " ended badly\n";
    EXPECT_GE(variants, 2000);
    if (failures == 0) fs::remove_all(dir);
}

}  // namespace
}  // namespace zestrel::jet
