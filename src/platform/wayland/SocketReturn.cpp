#include "platform/wayland/SocketReturn.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspire::wayland {

namespace {

bool isSocket(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

std::unique_ptr<SocketReturn> SocketReturn::watch(std::string& problem) {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) {
        problem = "WAYLAND_DISPLAY ist nicht gesetzt";
        return nullptr;
    }
    std::string path = display;
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) {
            problem = "XDG_RUNTIME_DIR ist nicht gesetzt";
            return nullptr;
        }
        path = std::string(runtime) + '/' + path;
    }
    auto slash = path.rfind('/');
    auto name = path.substr(slash + 1);
    return watch(
        slash == 0 ? "/" : path.substr(0, slash),
        [name](const std::string& candidate) { return candidate == name; }, problem);
}

std::unique_ptr<SocketReturn> SocketReturn::watch(const std::string& folderPath,
                                                  std::function<bool(const std::string& name)> wanted,
                                                  std::string& problem) {
    OwnedFd folder(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!folder || ::inotify_add_watch(folder.get(), folderPath.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        problem = "„" + folderPath + "“ lässt sich nicht beobachten: " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SocketReturn> watcher(new SocketReturn(std::move(folder), folderPath, std::move(wanted)));
    // The compositor may have come back before the loss was seen.
    if (DIR* listing = ::opendir(folderPath.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            std::string name = entry->d_name;
            if (!watcher->wanted(name) || !isSocket(watcher->socketIn(name))) continue;
            watcher->path = watcher->socketIn(name);
            watcher->owed = true;
            break;
        }
        ::closedir(listing);
    }
    return watcher;
}

std::string SocketReturn::socketIn(const std::string& name) const {
    return folderPath == "/" ? "/" + name : folderPath + '/' + name;
}

bool SocketReturn::socketAppeared() {
    bool appeared = owed;
    owed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        auto got = ::read(folder.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            // Events for other files come too; only a wanted socket counts, or a lost count of them.
            if (event->mask & IN_Q_OVERFLOW) appeared = true;
            if (!event->len) continue;
            std::string name = event->name;  // padded with zeros
            if (!wanted(name) || !isSocket(socketIn(name))) continue;
            path = socketIn(name);
            appeared = true;
        }
    }
    if (!appeared || path.empty() || !isSocket(path)) return false;
    triesLeft = tries - 1;
    return true;
}

int SocketReturn::nextTryAfterFailure() {
    if (triesLeft <= 0 || !isSocket(path)) return -1;
    --triesLeft;
    return retryMilliseconds;
}

}  // namespace larkspire::wayland
