#include "newfile/FileCreator.h"

#include "support/AsUnprivilegedUser.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>

using namespace larkspire;
using larkspire::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

struct Numbering {
    std::string name;
    int index;
    std::string expected;
};

void PrintTo(const Numbering& n, std::ostream* out) {
    *out << n.name << " #" << n.index;
}

class CandidateName : public ::testing::TestWithParam<Numbering> {};

TEST_P(CandidateName, NumbersBeforeTheExtensionOrAtTheEnd) {
    EXPECT_EQ(FileCreator::candidateName(GetParam().name, GetParam().index), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(FileCreator, CandidateName,
                         ::testing::Values(Numbering{"Neu.txt", 0, "Neu.txt"},
                                           Numbering{"Neu.txt", -3, "Neu.txt"},
                                           Numbering{"Neu.txt", 2, "Neu (2).txt"},
                                           Numbering{"archive.tar.gz", 1, "archive.tar (1).gz"},
                                           Numbering{"Makefile", 1, "Makefile (1)"},
                                           Numbering{".env", 1, ".env (1)"}, Numbering{"Neu.", 1, "Neu. (1)"},
                                           Numbering{"...a", 3, ".. (3).a"},
                                           Numbering{"Notiz vom Mai.md", 9999, "Notiz vom Mai (9999).md"}));

std::string contentsOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (auto& name : names) joined += name + "|";
    return joined;
}

TEST(FileCreator, CreatesAnEmptyFileWithReadWriteForTheOwner) {
    TemporaryFolder tmp;
    auto mask = ::umask(022);
    auto result = FileCreator::create(tmp.path().string(), "Neu.txt");
    ::umask(mask);
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.path, (tmp / "Neu.txt").string());
    EXPECT_EQ(fs::file_size(result.path), 0u);
    struct stat info {};
    ASSERT_EQ(::stat(result.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(FileCreator, TakesTheLowestFreeNumber) {
    TemporaryFolder tmp;
    tmp.file("Neu.txt", "keep");
    tmp.file("Neu (2).txt", "keep too");
    EXPECT_EQ(FileCreator::create(tmp.path().string() + "/", "Neu.txt").path, (tmp / "Neu (1).txt").string());
    EXPECT_EQ(FileCreator::create(tmp.path().string(), "Neu.txt").path, (tmp / "Neu (3).txt").string());
    EXPECT_EQ(contentsOf(tmp.path()), "Neu (1).txt|Neu (2).txt|Neu (3).txt|Neu.txt|");
    EXPECT_EQ(fs::file_size(tmp / "Neu (2).txt"), 8u);  // never overwritten
}

TEST(FileCreator, AFolderOrLinkOfTheSameNameCountsAsTaken) {
    TemporaryFolder tmp;
    tmp.folder("Neu.txt");
    fs::create_symlink(tmp / "nowhere", tmp / "Neu (1).txt");
    auto result = FileCreator::create(tmp.path().string(), "Neu.txt");
    EXPECT_EQ(result.path, (tmp / "Neu (2).txt").string());
    EXPECT_FALSE(fs::exists(tmp / "nowhere"));  // a dangling link is not followed
}

TEST(FileCreator, GivesUpWithFileExistsWhenAllTenThousandNamesAreTaken) {
    TemporaryFolder tmp;
    for (int index = 0; index < FileCreator::maximumAttempts; ++index)
        tmp.file(FileCreator::candidateName("x", index), "");
    auto result = FileCreator::create(tmp.path().string(), "x");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.error, EEXIST);
    EXPECT_FALSE(fs::exists(tmp / "x (10000)"));
}

TEST(FileCreator, ReportsTheSystemErrorWithoutTryingFurtherNames) {
    TemporaryFolder tmp;
    EXPECT_EQ(FileCreator::create((tmp / "missing").string(), "Neu.txt").error, ENOENT);
    tmp.file("plain");
    EXPECT_EQ(FileCreator::create((tmp / "plain").string(), "Neu.txt").error, ENOTDIR);
    auto tooLong = FileCreator::create(tmp.path().string(), std::string(300, 'n') + ".txt");
    EXPECT_EQ(tooLong.error, ENAMETOOLONG);
    EXPECT_TRUE(tooLong.path.empty());
}

TEST(FileCreator, AReadOnlyFolderGivesPermissionDenied) {
    TemporaryFolder tmp;
    fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    auto folder = tmp.folder("readonly");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    auto error = larkspire::testing::asUnprivilegedUser(
        [&] { return std::to_string(FileCreator::create(folder.string(), "Neu.txt").error); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, std::to_string(EACCES));
    EXPECT_EQ(contentsOf(folder), "");
}

}  // namespace
