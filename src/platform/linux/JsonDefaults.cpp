#include "platform/linux/JsonDefaults.h"

#include "platform/linux/AtomicFile.h"
#include "platform/linux/ConfigHome.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspire::linux_desktop {

namespace {

// Far beyond any settings this program writes; a bigger file is not ours and is not read into memory.
constexpr off_t largestFile = 64 * 1024 * 1024;

struct FileContents {
    enum class Outcome { read, missing, unreadable } outcome;
    std::string text;
    std::string reason;  // why it is unreadable
};

FileContents readFile(const std::filesystem::path& file) {
    // Non-blocking, so a pipe put in the file's place cannot hang the start.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {FileContents::Outcome::missing, {}, {}};
        return {FileContents::Outcome::unreadable, {}, errorText(errno)};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        return {FileContents::Outcome::unreadable, {}, errorText(error)};
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return {FileContents::Outcome::unreadable, {}, "ein Ordner statt einer Datei"};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return {FileContents::Outcome::unreadable, {}, "keine gewöhnliche Datei"};
    }
    if (info.st_size > largestFile) {
        ::close(fd);
        return {FileContents::Outcome::unreadable, {}, "zu groß"};
    }
    std::string text;
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int error = errno;
            ::close(fd);
            return {FileContents::Outcome::unreadable, {}, errorText(error)};
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<off_t>(text.size()) > largestFile) {
            ::close(fd);
            return {FileContents::Outcome::unreadable, {}, "zu groß"};
        }
    }
    ::close(fd);
    return {FileContents::Outcome::read, std::move(text), {}};
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

}  // namespace

std::filesystem::path JsonDefaults::userFile() {
    return configHome() / "larkspire" / "settings.json";
}

JsonDefaults::JsonDefaults(std::filesystem::path file, Log& log, const Clock& clock)
    : path(std::move(file)), logger(log, logCategory), clock(clock) {
    load();
}

void JsonDefaults::load() {
    auto target = resolvedLinks(path);
    removeStaleTemporaryFiles(target);
    auto contents = readFile(target);
    if (contents.outcome == FileContents::Outcome::missing) return;
    if (contents.outcome == FileContents::Outcome::read) {
        if (auto values = decodeSettings(contents.text)) {
            stored = std::move(*values);
            return;
        }
        contents.reason = "kein gültiges JSON-Objekt in UTF-8";
    }
    keepFileUntouched = !moveAside(target, contents.reason);
}

bool JsonDefaults::moveAside(const std::filesystem::path& target, const std::string& reason) {
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
    if (auto found = stored.find(key); found != stored.end()) return found->second;
    if (auto found = registered.find(key); found != registered.end()) return found->second;
    return std::nullopt;
}

void JsonDefaults::set(const std::string& key, const Value& value) {
    stored.insert_or_assign(key, value);
    save();
}

void JsonDefaults::remove(const std::string& key) {
    if (stored.erase(key) == 0) return;
    save();
}

void JsonDefaults::save() {
    if (keepFileUntouched) return;
    // The value stays in memory when the write fails, so the running program still sees it.
    if (auto failure = replaceFileAtomically(resolvedLinks(path), encodeSettings(stored)))
        logger.error("Die Einstellungen konnten nicht in „" + path.string() + "“ gespeichert werden (" +
                     *failure + ").");
}

}  // namespace larkspire::linux_desktop
