#include "platform/linux/files/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

std::string temporaryPrefix(const std::filesystem::path& file) {
    return "." + file.filename().string() + ".tmp-";
}

std::string describe(const std::string& step, int error) {
    return step + ": " + errorText(error);
}

bool writeAll(FileSystemCalls& calls, int fd, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = calls.write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

ssize_t FileSystemCalls::write(int fd, const void* bytes, std::size_t size) {
    return ::write(fd, bytes, size);
}

int FileSystemCalls::fsync(int fd) {
    return ::fsync(fd);
}

int FileSystemCalls::close(int fd) {
    return ::close(fd);
}

int FileSystemCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

FileSystemCalls& FileSystemCalls::system() {
    static FileSystemCalls calls;
    return calls;
}

std::string errorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::filesystem::path resolvedLinks(const std::filesystem::path& file) {
    std::filesystem::path current = file;
    // The kernel's own limit on link chains; a loop ends here instead of running forever.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) return current;
        auto target = std::filesystem::read_symlink(current, error);
        if (error) return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

std::optional<std::string> replaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                                 mode_t newFileMode, FileSystemCalls& calls) {
    auto folder = file.parent_path();
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    if (folderError) return "Ordner „" + folder.string() + "“ anlegen: " + folderError.message();

    // The process id in the name tells later starts whether the writer still runs.
    std::string name = (folder / temporaryPrefix(file)).string() + std::to_string(::getpid()) + "-XXXXXX";
    std::vector<char> temporary(name.begin(), name.end());
    temporary.push_back('\0');
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return describe("temporäre Datei anlegen", errno);

    auto fail = [&](const std::string& step, int error) {
        if (fd >= 0) calls.close(fd);
        ::unlink(temporary.data());
        return std::optional<std::string>(describe(step, error));
    };

    struct stat old {};
    mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode;
    if (::fchmod(fd, mode) != 0) return fail("Rechte setzen", errno);
    if (!writeAll(calls, fd, contents)) return fail("schreiben", errno);
    if (calls.fsync(fd) != 0) return fail("auf die Platte schreiben", errno);
    int closed = calls.close(fd);
    fd = -1;
    if (closed != 0) return fail("schließen", errno);
    if (calls.rename(temporary.data(), file.c_str()) != 0) return fail("umbenennen", errno);

    // The rename itself is only durable once the folder is flushed.
    int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return describe("Ordner öffnen", errno);
    int synced = calls.fsync(folderFd);
    int syncError = errno;
    calls.close(folderFd);
    // Some file systems cannot flush a folder; the file itself is in place then.
    if (synced != 0 && syncError != EINVAL && syncError != EROFS)
        return describe("Ordner sichern", syncError);
    return std::nullopt;
}

void removeStaleTemporaryFiles(const std::filesystem::path& file) {
    auto prefix = temporaryPrefix(file);
    std::error_code error;
    std::filesystem::directory_iterator entries(file.parent_path(), error);
    if (error) return;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const auto& entry = *entries;
        auto name = entry.path().filename().string();
        if (!name.starts_with(prefix)) continue;
        auto rest = name.substr(prefix.size());
        char* end = nullptr;
        long pid = std::strtol(rest.c_str(), &end, 10);
        if (pid <= 0 || end == rest.c_str() || *end != '-') continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove(entry.path(), ignored);
    }
}

}  // namespace larkspire::linux_desktop
