// The upgraded cookbook keeps the original's access list (ACL) and extended attributes, and never
// gives the owning group the list's mask as its own bits: access is kept or narrowed, never widened.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

#include <cerrno>

#include "platform/extended_access.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

// An access list as the system stores it: version 2, then tag, permissions and id per entry.
std::string storedAcl(const std::vector<std::tuple<unsigned, unsigned, std::uint32_t>>& entries) {
    std::string out{'\x02', '\0', '\0', '\0'};
    for (const auto& [tag, permissions, id] : entries) {
        for (const unsigned value : {tag & 0xFFu, tag >> 8u, permissions & 0xFFu, permissions >> 8u})
            out += static_cast<char>(value);
        for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((id >> shift) & 0xFF);
    }
    return out;
}

constexpr std::uint32_t kAnyone = 0xFFFFFFFF;
constexpr std::uint32_t kOtherUser = 65534;

// user::rw- user:65534:rw- group::r-- mask::rw- other::---: a second user may write, the group
// may only read, though the mode's group bits (the mask) say rw.
const std::string kSharedWithOneUser =
    storedAcl({{0x01, 6, kAnyone}, {0x02, 6, kOtherUser}, {0x04, 4, kAnyone}, {0x10, 6, kAnyone}, {0x20, 0, kAnyone}});

struct NarrowCase {
    const char* label;
    std::uint32_t mode;
    std::string acl;
    std::uint32_t narrowed;
};

class NarrowedMode : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(NarrowedMode, GivesTheGroupWhatTheListGaveItNotTheMask) {
    EXPECT_EQ(platform::narrowedMode(GetParam().mode, GetParam().acl), GetParam().narrowed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NarrowedMode,
    ::testing::Values(NarrowCase{"group_reads_mask_writes", 0660, kSharedWithOneUser, 0640},
                      NarrowCase{"mask_narrower_than_group", 0640,
                                 storedAcl({{0x01, 6, kAnyone}, {0x04, 6, kAnyone}, {0x10, 4, kAnyone}, {0x20, 4, kAnyone}}),
                                 0644 & 0640},
                      NarrowCase{"setuid_kept_others_from_list", 04664,
                                 storedAcl({{0x01, 6, kAnyone}, {0x04, 4, kAnyone}, {0x10, 6, kAnyone}, {0x20, 4, kAnyone}}),
                                 04644}),
    [](const ::testing::TestParamInfo<NarrowCase>& param) { return std::string(param.param.label); });

std::string attributeOf(const fs::path& file, const char* name) {
    std::string value(4096, '\0');
    const ssize_t size = ::getxattr(file.c_str(), name, value.data(), value.size());
    value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return value;
}

TEST_F(UpgradeTest, TheUpgradedCookbookKeepsItsAccessListAndAttributes) {
    const fs::path cookbook = dir_ / "shared.rcp";
    const auto made = zestrel({"sample", "--layout", "1.1", "--recipes", "3", cookbook.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    fs::permissions(cookbook, fs::perms::owner_read | fs::perms::owner_write);
    if (::setxattr(cookbook.c_str(), "system.posix_acl_access", kSharedWithOneUser.data(), kSharedWithOneUser.size(), 0) != 0)
        GTEST_SKIP() << "this file system keeps no access lists: " << std::strerror(errno);
    const bool userAttributes = ::setxattr(cookbook.c_str(), "user.origin", "kitchen", 7, 0) == 0;
    struct stat before {};
    ::stat(cookbook.c_str(), &before);
    ASSERT_EQ(before.st_mode & 0777, 0660u);  // the mask shows as the group's bits

    const auto run = zestrel({"upgrade", "--program-folder", program_.string(), cookbook.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("could not keep"), std::string::npos) << run.err;
    struct stat after {};
    ::stat(cookbook.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file, with the same access
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    EXPECT_EQ(attributeOf(cookbook, "system.posix_acl_access"), kSharedWithOneUser);
    if (userAttributes) {
        EXPECT_EQ(attributeOf(cookbook, "user.origin"), "kitchen");
    }
    expectPassesCheck(cookbook);
    // The list of the values the upgrade changed is readable by its owner alone.
    const fs::path list = program_ / "Backup" / "shared_backup_changes.txt";
    ASSERT_TRUE(fs::exists(list));
    EXPECT_EQ(fs::status(list).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
}

#endif

}  // namespace
}  // namespace zestrel::test
