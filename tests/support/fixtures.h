// Where tests find the shared fixtures and the built programs, and a guard
// that skips a test with a clear message when the shared folder is absent.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"

namespace zestrel::test {

std::filesystem::path sharedDir();
std::filesystem::path jetFixturesDir();
std::filesystem::path binDir();
std::filesystem::path zestrelProgram();
std::filesystem::path toolsDir();

// The Jet 3 and Jet 4 fixture files (*.mdb), sorted; empty when the shared folder is absent.
std::vector<std::filesystem::path> jetFixtures();

// Copies a file (a read-only fixture, say) to a new file its owner can write; on Windows a
// read-only file could not be changed or deleted even by the test that made it.
void copyFixtureFile(const std::filesystem::path& from, const std::filesystem::path& to);

// A fresh, empty folder under the system's temporary folder, removed by the caller.
std::filesystem::path makeTempDir(const std::string& tag);

// A fresh, empty folder on another file system than makeTempDir's (the tmpfs at /dev/shm), for
// runs whose program folder and cookbook lie on two file systems; nothing when there is none.
// Removed by the caller like makeTempDir's.
std::optional<std::filesystem::path> makeTempDirOnOtherFileSystem(const std::string& tag);

// Checks the structure of every database (*.mdb, *.rcp) a test left in `dir`, but files named
// in `unchecked`, failing the test for each fault, then removes the folder unless the test failed.
void checkAndRemoveTempDir(const std::filesystem::path& dir, const std::vector<std::string>& unchecked = {});

// Fails the current test for each structural fault of the database at `path`.
void expectPassesCheck(const std::filesystem::path& path);

// The cookbook opened and locked as another run of the program holds it while it upgrades or
// restores it (an assertion fails when the lock cannot be taken).
platform::File holdAsAnotherRun(const std::filesystem::path& cookbook);

std::vector<std::string> splitLines(const std::string& text);

// The whole content of a file, as bytes; empty when it cannot be read.
std::string fileBytes(const std::filesystem::path& path);
// A text file the program wrote, as its lines read whatever the platform: without a leading
// UTF-8 byte-order mark and with CRLF line ends as LF (Windows text, as the lists of changes are
// written on Windows).
std::string textFile(const std::filesystem::path& path);
// The file pages this process holds in memory, in KB (RssFile; Linux only, 0 elsewhere).
std::size_t residentFileKilobytes();

// A test name made from a fixture file's name (letters and digits only).
std::string fixtureTestName(const ::testing::TestParamInfo<std::filesystem::path>& info);

}  // namespace zestrel::test

#define ZESTREL_REQUIRE_SHARED()                                                                          \
    do {                                                                                                  \
        if (!std::filesystem::is_directory(::zestrel::test::jetFixturesDir()))                            \
            GTEST_SKIP() << "the shared fixtures folder " << ::zestrel::test::jetFixturesDir()            \
                         << " is absent; this test needs it";                                             \
    } while (0)
