// A file seen in memory: its bytes as they are, memory given back without
// losing them, and a file cut short under the view read as zeros and reported,
// never a crash; a bus error that no view caused still ends the process.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/file.h"
#include "platform/file_view.h"
#include "support/fixtures.h"

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

class FileViewTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("file-view"); }
    void TearDown() override { fs::remove_all(dir_); }

    // A file of `size` bytes, byte i holding i * 7 mod 251 (never a run of zeros).
    fs::path makeFile(const std::string& name, std::size_t size) {
        const fs::path path = dir_ / name;
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(byteAt(i));
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::uint8_t byteAt(std::size_t i) { return static_cast<std::uint8_t>(i * 7 % 251 + 1); }

    std::unique_ptr<FileView> viewOf(const File& file) {
        auto view = FileView::map(file, file.size());
#ifdef __linux__
        EXPECT_NE(view, nullptr) << "Linux gives a view of a regular file";
#endif
        return view;
    }

    fs::path dir_;
};

TEST_F(FileViewTest, ShowsTheFileAsItIsAndKeepsReleasedBytesReadable) {
    const fs::path path = makeFile("plain.bin", 3 << 20);
    const File file = File::open(path, OpenMode::ReadOnly);
    const auto view = viewOf(file);
    if (!view) GTEST_SKIP() << "this system gives no views; files are read with readAt";
    ASSERT_EQ(view->bytes().size(), std::size_t{3} << 20);
    for (std::size_t i = 0; i < view->bytes().size(); i += 4093) ASSERT_EQ(view->bytes()[i], byteAt(i)) << i;
    view->release(4096, 2 << 20);
    for (std::size_t i = 0; i < view->bytes().size(); i += 4093) ASSERT_EQ(view->bytes()[i], byteAt(i)) << i;
    EXPECT_FALSE(view->cutShort());
}

#ifdef __linux__
TEST_F(FileViewTest, ReleasedBytesNoLongerCountAsTheProcesssMemory) {
    const fs::path path = makeFile("large.bin", 32 << 20);
    const File file = File::open(path, OpenMode::ReadOnly);
    const auto view = viewOf(file);
    ASSERT_NE(view, nullptr);
    const std::size_t before = test::residentFileKilobytes();
    unsigned sum = 0;
    for (std::size_t i = 0; i < view->bytes().size(); i += 4096) sum += view->bytes()[i];
    EXPECT_NE(sum, 0u);
    const std::size_t touched = test::residentFileKilobytes();
    EXPECT_GE(touched, before + 30 * 1024) << "every page was read";
    view->release(0, view->bytes().size());
    EXPECT_LE(test::residentFileKilobytes(), before + 1024);
}

TEST_F(FileViewTest, AFileCutShortUnderTheViewReadsAsZerosAndSaysSo) {
    const fs::path path = makeFile("cut.bin", 64 * 1024);
    const fs::path other = makeFile("other.bin", 64 * 1024);
    const File file = File::open(path, OpenMode::ReadOnly);
    const File otherFile = File::open(other, OpenMode::ReadOnly);
    const auto view = viewOf(file);
    const auto otherView = viewOf(otherFile);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(otherView, nullptr);
    EXPECT_EQ(view->bytes()[100], byteAt(100));
    File::open(path, OpenMode::ReadWrite).truncate(8192);  // another program cuts the file short

    EXPECT_EQ(view->bytes()[40000], 0) << "past the new end";
    EXPECT_EQ(view->bytes()[60000], 0);
    EXPECT_TRUE(view->cutShort());
    EXPECT_EQ(view->bytes()[100], byteAt(100)) << "what the file still holds reads as before";
    EXPECT_FALSE(otherView->cutShort());
    EXPECT_EQ(otherView->bytes()[40000], byteAt(40000));
}

// Killed by the signal, or, under a sanitizer that reports it first, ended with its failure.
bool endedByTheBusError(int status) {
    if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGBUS;
    return WIFEXITED(status) && WEXITSTATUS(status) != 0 && (WEXITSTATUS(status) < 3 || WEXITSTATUS(status) > 5);
}

// A bus error from memory no view covers is left to end the process, as it would without views.
TEST_F(FileViewTest, ABusErrorOutsideEveryViewStillEndsTheProcess) {
    const fs::path path = makeFile("foreign.bin", 64 * 1024);
    const File file = File::open(path, OpenMode::ReadOnly);
    const auto view = viewOf(file);  // the handler is in place
    ASSERT_NE(view, nullptr);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const int fd = ::open(path.c_str(), O_RDWR);
            auto* mapped = static_cast<volatile std::uint8_t*>(
                ::mmap(nullptr, 64 * 1024, PROT_READ, MAP_SHARED, fd, 0));
            if (::ftruncate(fd, 0) != 0) std::_Exit(3);
            std::_Exit(mapped[40000] == 0 ? 4 : 5);
        },
        endedByTheBusError, "");
}
#endif

}  // namespace
}  // namespace zestrel::platform
