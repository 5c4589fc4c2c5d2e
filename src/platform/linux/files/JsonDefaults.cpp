#include "platform/linux/files/JsonDefaults.h"

#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/ConfigHome.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspire::linux_desktop {

namespace {

// Far beyond any settings this program writes; a bigger file is not ours and is not read into memory.
constexpr off_t largestFile = 64 * 1024 * 1024;

struct FileContents {
    // `unusable` is something in the file's place that no settings file can be: moved aside like a
    // corrupt file. `unreadable` is a file that may be fine but cannot be read now: left alone.
    enum class Outcome { read, missing, unreadable, unusable } outcome;
    std::string text;
    std::string reason;  // why it is unreadable or unusable
    JsonDefaults::Identity identity;
};

JsonDefaults::Identity identityOf(const struct stat& info) {
    return {true,
            info.st_dev,
            info.st_ino,
            info.st_size,
            std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec,
            std::int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec};
}

JsonDefaults::Identity identityOf(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return {};
    return identityOf(info);
}

FileContents readFile(const std::filesystem::path& file) {
    // Non-blocking, so a pipe put in the file's place cannot hang the start.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {FileContents::Outcome::missing, {}, {}, {}};
        return {FileContents::Outcome::unreadable, {}, errorText(errno), {}};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        return {FileContents::Outcome::unreadable, {}, errorText(error), {}};
    }
    auto identity = identityOf(info);
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return {FileContents::Outcome::unusable, {}, "ein Ordner statt einer Datei", identity};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return {FileContents::Outcome::unusable, {}, "keine gewöhnliche Datei", identity};
    }
    if (info.st_size > largestFile) {
        ::close(fd);
        return {FileContents::Outcome::unusable, {}, "zu groß", identity};
    }
    std::string text;
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int error = errno;
            ::close(fd);
            return {FileContents::Outcome::unreadable, {}, errorText(error), identity};
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<off_t>(text.size()) > largestFile) {
            ::close(fd);
            return {FileContents::Outcome::unusable, {}, "zu groß", identity};
        }
    }
    ::close(fd);
    return {FileContents::Outcome::read, std::move(text), {}, identity};
}

// The wall time as 20261207-052216, in UTC so that names sort in time order.
std::string timeStamp(double wallTime) {
    std::time_t seconds = std::isfinite(wallTime) ? static_cast<std::time_t>(wallTime) : 0;
    std::tm utc{};
    char text[32] = "0";
    if (::gmtime_r(&seconds, &utc)) std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

// A rename that never replaces what is already at the new name.
bool renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to, int& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS) return false;
    // The file system cannot refuse to replace; a link does the same, a folder is renamed after a check.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    error = errno;
    if (error != EPERM) return false;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        error = EEXIST;
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = errno;
    return false;
}

// Follows the links from `file`. Links of other users, and files that are not the user's own, are
// never replaced or renamed; a missing target is only created in a folder of the user's own.
JsonDefaults::Target targetOf(const std::filesystem::path& file) {
    JsonDefaults::Target target{file};
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

// Holds the folder's lock while one write reads the file and replaces it, so that writers in other
// processes never drop each other's keys.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder)
        : fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd >= 0)
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (fd >= 0) ::close(fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd;
};

}  // namespace

std::filesystem::path JsonDefaults::userFile() {
    return configHome() / "larkspire" / "settings.json";
}

JsonDefaults::JsonDefaults(std::filesystem::path file, Log& log, const Clock& clock)
    : path(std::move(file)), logger(log, logCategory), clock(clock) {
    auto target = targetOf(path);
    removeStaleTemporaryFiles(target.file);
    reload(target);
}

void JsonDefaults::refresh() const {
    // stat follows the links to the same file, so only a changed file pays for resolving them.
    if (seen && *seen == identityOf(path)) return;
    reload(targetOf(path));
}

// A problem that stays is logged once, not at every read or write.
bool JsonDefaults::firstReport(const std::string& problemKey) const {
    if (problemKey == lastReported) return false;
    lastReported = problemKey;
    return true;
}

void JsonDefaults::reload(const Target& target) const {
    auto contents = readFile(target.file);
    // A file that cannot be opened is still known by its identity, so it is not tried on every read.
    seen = contents.identity.exists ? contents.identity : identityOf(target.file);
    if (keepFileUntouched) {
        // A file that could not be moved aside stays ours to leave alone, whatever it holds now.
        if (contents.outcome == FileContents::Outcome::read)
            if (auto values = decodeSettings(contents.text)) stored = std::move(*values);
        return;
    }
    problem.clear();
    switch (contents.outcome) {
    case FileContents::Outcome::missing:
        stored.clear();
        lastReported.clear();
        return;
    case FileContents::Outcome::read:
        if (auto values = decodeSettings(contents.text)) {
            stored = std::move(*values);
            lastReported.clear();
            return;
        }
        contents.reason = "kein gültiges JSON-Objekt";
        break;
    case FileContents::Outcome::unusable:
        break;
    case FileContents::Outcome::unreadable:
        // It may be fine once it can be read again: it stays where it is, and nothing overwrites it.
        stored.clear();
        problem = contents.reason;
        if (!firstReport(target.file.string() + contents.reason)) return;
        logger.error(
            "Die Einstellungsdatei „" + target.file.string() + "“ lässt sich nicht lesen (" +
            contents.reason +
            "). Larkspire nutzt die Standardeinstellungen und speichert nichts, solange das so ist.");
        return;
    }
    stored.clear();
    if (target.throughLink || !target.refusal.empty()) {
        // Not ours to move: the user pointed here, or the file belongs to someone else.
        problem = contents.reason;
        if (!firstReport(target.file.string() + contents.reason)) return;
        logger.error("Die Einstellungsdatei „" + target.file.string() + "“ ist nicht lesbar (" +
                     contents.reason +
                     "). Sie bleibt unverändert; Larkspire nutzt die Standardeinstellungen und speichert "
                     "nichts hinein.");
        return;
    }
    if (moveAside(target.file, contents.reason)) {
        seen = identityOf(target.file);
    } else {
        keepFileUntouched = true;
    }
}

bool JsonDefaults::moveAside(const std::filesystem::path& target, const std::string& reason) const {
    auto base = target.string() + ".corrupt-" + timeStamp(clock.wallTime());
    int error = 0;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        std::filesystem::path aside = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (renameWithoutReplacing(target, aside, error)) {
            logger.error("Die Einstellungsdatei „" + target.string() + "“ ist nicht lesbar (" + reason +
                         "). Sie wurde als „" + aside.string() +
                         "“ aufbewahrt; Larkspire startet mit den Standardeinstellungen.");
            return true;
        }
        if (error != EEXIST) break;
    }
    logger.error("Die Einstellungsdatei „" + target.string() + "“ ist nicht lesbar (" + reason +
                 ") und lässt sich nicht beiseitelegen (" + errorText(error) +
                 "). Larkspire startet mit den Standardeinstellungen und speichert keine Änderungen, "
                 "damit die Datei erhalten bleibt.");
    return false;
}

void JsonDefaults::registerDefaults(const std::vector<std::pair<std::string, Value>>& defaults) {
    for (const auto& [key, value] : defaults) registered.insert_or_assign(key, value);
}

std::optional<Value> JsonDefaults::object(const std::string& key) const {
    refresh();
    if (auto change = unsaved.find(key); change != unsaved.end()) {
        if (change->second) return change->second;
    } else if (auto found = stored.find(key); found != stored.end()) {
        return found->second;
    }
    if (auto found = registered.find(key); found != registered.end()) return found->second;
    return std::nullopt;
}

void JsonDefaults::set(const std::string& key, const Value& value) {
    write(key, value);
}

void JsonDefaults::remove(const std::string& key) {
    refresh();
    if (!stored.contains(key) && !unsaved.contains(key)) return;
    write(key, std::nullopt);
}

void JsonDefaults::write(const std::string& key, std::optional<Value> value) {
    unsaved.insert_or_assign(key, std::move(value));
    auto target = targetOf(path);
    if (!target.refusal.empty()) {
        if (refusalLogged != target.refusal)
            logger.error("Die Einstellungen werden nicht gespeichert: " + target.refusal + ".");
        refusalLogged = target.refusal;
        return;
    }
    auto folder = target.file.parent_path();
    std::error_code folderError;
    if (!target.throughLink) std::filesystem::create_directories(folder, folderError);
    FolderLock lock(folder);
    // The file as it is now, with this program's changes on top.
    reload(target);
    if (keepFileUntouched || !problem.empty()) return;
    auto values = stored;
    for (const auto& [changed, newValue] : unsaved) {
        if (newValue)
            values.insert_or_assign(changed, *newValue);
        else
            values.erase(changed);
    }
    if (values == stored) {
        unsaved.clear();
        return;
    }
    // The changes stay in memory when the write fails, so the running program still sees them.
    if (auto failure = replaceFileAtomically(target.file, encodeSettings(values))) {
        logger.error("Die Einstellungen konnten nicht in „" + target.file.string() +
                     "“ gespeichert werden (" + *failure + ").");
        return;
    }
    stored = std::move(values);
    seen = identityOf(target.file);
    unsaved.clear();
}

}  // namespace larkspire::linux_desktop
