#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
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

// Where a write to one of the user's files goes: the file behind any links, and why it must not be
// written when it must not (empty when it may). Links of other users, and files that are not the
// user's own, are never replaced; a missing target is only created in a folder of the user's own.
struct WriteTarget {
    std::filesystem::path file;
    bool throughLink = false;
    std::string refusal;
};
WriteTarget writeTargetOf(const std::filesystem::path& file);

// Replaces the user's file behind `file`'s links like replaceFileAtomically, unless writeTargetOf
// refuses it or the user made it read-only. The reason in words on failure; else nothing.
std::optional<std::string> replaceUsersFile(const std::filesystem::path& file, std::string_view contents,
                                            mode_t newFileMode);

// A file the user may have put anything in the place of, read without ever blocking and without
// reading more than `largest` bytes.
struct FileRead {
    // `unusable` is something no such file can be (not a regular file, or too big); `unreadable`
    // may be fine but cannot be read now.
    enum class Outcome { read, missing, unreadable, unusable } outcome;
    std::string text;
    std::string reason;               // why it is unreadable or unusable
    std::optional<struct stat> info;  // of what was opened
};
FileRead readRegularFile(const std::filesystem::path& file, off_t largest);

// The text of an errno value, safe to call from any thread.
std::string errorText(int error);

}  // namespace larkspire::linux_desktop
