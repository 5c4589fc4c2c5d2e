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

struct FileContents : FileRead {
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
    auto contents = readRegularFile(file, largestFile);
    auto identity = contents.info ? identityOf(*contents.info) : JsonDefaults::Identity{};
    return {std::move(contents), identity};
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
    auto target = writeTargetOf(path);
    removeStaleTemporaryFiles(target.file);
    reload(target);
}

void JsonDefaults::refresh() const {
    // stat follows the links to the same file, so only a changed file pays for resolving them.
    if (seen && *seen == identityOf(path)) return;
    reload(writeTargetOf(path));
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
    auto target = writeTargetOf(path);
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
    auto text = encodeSettings(values);
    if (static_cast<off_t>(text.size()) > largestFile) {
        // A file this big would not be read back, and every other setting would go with it.
        logger.error("„" + key + "“ ist zu groß für die Einstellungen und wird nicht gespeichert.");
        unsaved.erase(key);
        return;
    }
    // The changes stay in memory when the write fails, so the running program still sees them.
    if (auto failure = replaceFileAtomically(target.file, text)) {
        logger.error("Die Einstellungen konnten nicht in „" + target.file.string() +
                     "“ gespeichert werden (" + *failure + ").");
        return;
    }
    stored = std::move(values);
    seen = identityOf(target.file);
    unsaved.clear();
}

}  // namespace larkspire::linux_desktop
