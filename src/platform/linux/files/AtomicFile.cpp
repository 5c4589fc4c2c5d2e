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

WriteTarget writeTargetOf(const std::filesystem::path& file) {
    WriteTarget target{file};
    uid_t me = ::geteuid();
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(target.file.c_str(), &info) != 0) break;
        if (!S_ISLNK(info.st_mode)) {
            if (info.st_uid != me)
                target.refusal = "„" + target.file.string() + "“ gehört einem anderen Benutzer";
            return target;
        }
        // The kernel's own limit on link chains; a loop ends here instead of running forever.
        if (info.st_uid != me || hops == 40) {
            target.refusal = info.st_uid != me ? "die Verknüpfung „" + target.file.string() +
                                                     "“ gehört einem anderen Benutzer"
                                               : "zu viele Verknüpfungen";
            return target;
        }
        std::error_code error;
        auto next = std::filesystem::read_symlink(target.file, error);
        if (error) {
            target.refusal = "Verknüpfung nicht lesbar: " + error.message();
            return target;
        }
        target.file = next.is_absolute() ? next : target.file.parent_path() / next;
        target.throughLink = true;
    }
    if (target.throughLink) {
        struct stat folder {};
        auto parent = target.file.parent_path();
        if (::stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
            folder.st_uid != me)
            target.refusal = "das Ziel der Verknüpfung fehlt, und sein Ordner „" + parent.string() +
                             "“ ist nicht der eigene";
    }
    return target;
}

std::optional<std::string> replaceUsersFile(const std::filesystem::path& file, std::string_view contents,
                                            mode_t newFileMode) {
    auto target = writeTargetOf(file);
    if (!target.refusal.empty()) return target.refusal;
    // Root may write any file, so the mode itself says whether the user wants it kept as it is.
    struct stat info {};
    if (::stat(target.file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0)
        return "„" + target.file.string() + "“ ist schreibgeschützt";
    return replaceFileAtomically(target.file, contents, newFileMode);
}

FileRead readRegularFile(const std::filesystem::path& file, off_t largest) {
    // Non-blocking, so a pipe put in the file's place cannot hang the caller.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {FileRead::Outcome::missing, {}, {}, {}};
        return {FileRead::Outcome::unreadable, {}, errorText(errno), {}};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        return {FileRead::Outcome::unreadable, {}, errorText(error), {}};
    }
    auto refuse = [&](FileRead::Outcome outcome, std::string reason) {
        ::close(fd);
        return FileRead{outcome, {}, std::move(reason), info};
    };
    if (S_ISDIR(info.st_mode)) return refuse(FileRead::Outcome::unusable, "ein Ordner statt einer Datei");
    if (!S_ISREG(info.st_mode)) return refuse(FileRead::Outcome::unusable, "keine gewöhnliche Datei");
    if (info.st_size > largest) return refuse(FileRead::Outcome::unusable, "zu groß");
    std::string text;
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return refuse(FileRead::Outcome::unreadable, errorText(errno));
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        // The file may grow while it is read.
        if (static_cast<off_t>(text.size()) > largest) return refuse(FileRead::Outcome::unusable, "zu groß");
    }
    ::close(fd);
    return {FileRead::Outcome::read, std::move(text), {}, info};
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
