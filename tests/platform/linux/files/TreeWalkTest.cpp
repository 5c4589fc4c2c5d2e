#include "platform/linux/files/TreeWalk.h"

#include "support/AsUnprivilegedUser.h"
#include "support/TemporaryFolder.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspire;
using larkspire::linux_desktop::TreeWalk;
using larkspire::testing::asUnprivilegedUser;
using larkspire::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

void sized(const fs::path& file, std::size_t bytes) {
    fs::create_directories(file.parent_path());
    larkspire::testing::writeText(file, std::string(bytes, 'x'));
}

// The sum over every regular file below `root`, by the standard library's own walk.
std::int64_t regularFileBytes(const fs::path& root) {
    std::int64_t sum = 0;
    for (auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && !entry.is_symlink())
            sum += static_cast<std::int64_t>(entry.file_size());
    return sum;
}

class TreeWalkTest : public ::testing::TestWithParam<int> {
  protected:
    std::int64_t size(const fs::path& path) const { return TreeWalk(GetParam()).sizeAtPath(path.string()); }
    TemporaryFolder tmp;
};

TEST_P(TreeWalkTest, CountsHiddenFilesAndPackageContentsButNotWhatLinksPointTo) {
    sized(tmp / "sel/.hidden", 10);
    sized(tmp / "sel/Album.app/Contents/MacOS/album", 600);
    sized(tmp / "sel/Album.app/Contents/Info.plist", 400);
    sized(tmp / "big/data", 100'000);
    fs::create_directory_symlink(tmp / "big", tmp / "sel/link-to-big");
    fs::create_symlink(tmp / "sel/loop-b", tmp / "sel/loop-a");
    fs::create_symlink(tmp / "sel/loop-a", tmp / "sel/loop-b");
    ::mkfifo((tmp / "sel/pipe").c_str(), 0600);

    EXPECT_EQ(size(tmp / "sel"), 1010);
    // A link given itself counts as the link: the length of the path it holds.
    EXPECT_EQ(size(tmp / "sel/link-to-big"), static_cast<std::int64_t>((tmp / "big").string().size()));
    EXPECT_EQ(size(tmp / "sel/Album.app/Contents/Info.plist"), 400);
}

TEST_P(TreeWalkTest, CountsEveryHardLinkAndReadsAnyName) {
    sized(tmp / "sel/original", 100);
    fs::create_hard_link(tmp / "sel/original", tmp / "sel/second name");
    sized(tmp / "sel/line\nfeed/inner", 7);
    sized(tmp / "sel/\xff\xfe-not-utf8", 3);
    EXPECT_EQ(size(tmp / "sel"), 210);
}

TEST_P(TreeWalkTest, MissingAndOddPathsAreZero) {
    EXPECT_EQ(size(tmp / "gone"), 0);
    EXPECT_EQ(TreeWalk(GetParam()).sizeAtPath(""), 0);
    EXPECT_EQ(TreeWalk(GetParam()).sizeAtPath(std::string("/tmp\0x", 6)), 0);
    EXPECT_EQ(size("/dev/null"), 0);
}

TEST_P(TreeWalkTest, AgreesWithAnIndependentSumOnAWideRandomTree) {
    std::mt19937 random(7);
    std::vector<fs::path> folders{tmp / "sel"};
    fs::create_directories(folders[0]);
    for (int i = 0; i < 200; ++i) {
        auto parent = folders[random() % folders.size()];
        auto folder = parent / ("d" + std::to_string(i));
        fs::create_directory(folder);
        folders.push_back(folder);
        for (int f = 0; f < 2; ++f) sized(folder / ("f" + std::to_string(f)), random() % 5000);
    }
    EXPECT_EQ(size(tmp / "sel"), regularFileBytes(tmp / "sel"));
}

TEST_P(TreeWalkTest, SkipsAFolderItMayNotReadAndGoesOn) {
    sized(tmp / "sel/open/a", 5);
    sized(tmp / "sel/closed/b", 50);
    sized(tmp / "sel/z", 1);
    ::chmod((tmp / "sel/closed").c_str(), 0);
    ::chmod(tmp.path().c_str(), 0755);
    auto counted = asUnprivilegedUser([&] { return std::to_string(size(tmp / "sel")); });
    ::chmod((tmp / "sel/closed").c_str(), 0755);
    ASSERT_TRUE(counted);
    EXPECT_EQ(*counted, "6");
}

// Deeper than PATH_MAX allows to name, so it is built relative to each folder's descriptor; a side
// folder at every level keeps the parent's descriptor wanted during the descent.
TEST(TreeWalk, WalksATenThousandFoldersDeepTreeWithFewDescriptorsAndNoRecursion) {
    TemporaryFolder tmp;
    int fd = ::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int depth = 0; depth < 10'000; ++depth) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        ASSERT_EQ(::mkdirat(fd, "s", 0755), 0);
        if (depth % 10 == 0) {
            int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::write(file, "x", 1), 1);
            ::close(file);
        }
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    ::close(fd);
    ::chmod(tmp.path().c_str(), 0755);
    for (int threads : {1, 2, 4}) {
        // Few descriptors, in a child process so the limit stays there.
        auto counted = asUnprivilegedUser([&] {
            rlimit limit{40, 40};
            ::setrlimit(RLIMIT_NOFILE, &limit);
            return std::to_string(TreeWalk(threads).sizeAtPath((tmp / "d").string()));
        });
        ASSERT_TRUE(counted);
        EXPECT_EQ(*counted, "999") << threads << " threads";
    }
    // Too deep to remove by path: each level moves up to the top first.
    fs::path current = tmp / "d";
    for (int level = 0; fs::exists(current / "d"); ++level) {
        auto next = tmp / ("level" + std::to_string(level));
        fs::rename(current / "d", next);
        current = next;
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, TreeWalkTest, ::testing::Values(1, 2, 4),
                         [](const auto& info) { return std::to_string(info.param) + "_threads"; });

}  // namespace
