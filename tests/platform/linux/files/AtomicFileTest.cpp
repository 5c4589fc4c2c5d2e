#include "platform/linux/files/AtomicFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

using larkspire::linux_desktop::FileSystemCalls;
using larkspire::linux_desktop::replaceFileAtomically;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

// Passes every call on and notes it, naming each descriptor by what it is: the new file's inode or
// a folder.
class RecordingCalls : public FileSystemCalls {
  public:
    ssize_t write(int fd, const void* bytes, std::size_t size) override {
        steps.push_back("write " + what(fd));
        return FileSystemCalls::write(fd, bytes, size);
    }
    int fsync(int fd) override {
        steps.push_back("fsync " + what(fd));
        return FileSystemCalls::fsync(fd);
    }
    int close(int fd) override {
        steps.push_back("close " + what(fd));
        return FileSystemCalls::close(fd);
    }
    int rename(const char* from, const char* to) override {
        steps.push_back("rename");
        return FileSystemCalls::rename(from, to);
    }

    static std::string what(int fd) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) return "?";
        return S_ISDIR(info.st_mode) ? "folder" : "file " + std::to_string(info.st_ino);
    }

    std::vector<std::string> steps;
};

TEST(AtomicFile, TheNewFileIsFlushedBeforeTheRenameAndTheFolderAfterIt) {
    TemporaryFolder folder;
    auto file = folder / "settings.json";
    writeText(file, "alt");
    RecordingCalls calls;
    ASSERT_EQ(replaceFileAtomically(file, "neu", 0600, calls), std::nullopt);

    EXPECT_EQ(readText(file), "neu");
    struct stat written {};
    ASSERT_EQ(::stat(file.c_str(), &written), 0);
    auto inode = "file " + std::to_string(written.st_ino);
    std::vector<std::string> expected{"write " + inode, "fsync " + inode, "close " + inode,
                                      "rename",         "fsync folder",   "close folder"};
    EXPECT_EQ(calls.steps, expected);
}

}  // namespace
