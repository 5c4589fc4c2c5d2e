#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace larkspire::linux_desktop {

// The file-system calls one atomic write makes, in the order that keeps the contents safe; a test
// puts a recorder in their place to see that order.
class FileSystemCalls {
  public:
    virtual ~FileSystemCalls() = default;
    virtual ssize_t write(int fd, const void* bytes, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    static FileSystemCalls& system();
};

// Replaces `file` so that any reader sees the whole old or the whole new contents, never a part,
// and the new contents survive a power loss once this returns. A temporary file in the same folder
// is written, flushed and renamed over the old one. An existing file keeps its permissions, a new
// one gets `newFileMode`. The reason in words on failure, the old file untouched; else nothing.
std::optional<std::string> replaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                                 mode_t newFileMode = 0600,
                                                 FileSystemCalls& calls = FileSystemCalls::system());

// Deletes temporary files that writers of `file` left behind when they were killed mid-write.
// Files of processes that still run are kept: they may be about to rename theirs.
void removeStaleTemporaryFiles(const std::filesystem::path& file);

// `file` with its symbolic links followed, so that writing replaces the file a link points to and
// not the link itself.
std::filesystem::path resolvedLinks(const std::filesystem::path& file);

// The text of an errno value, safe to call from any thread.
std::string errorText(int error);

}  // namespace larkspire::linux_desktop
