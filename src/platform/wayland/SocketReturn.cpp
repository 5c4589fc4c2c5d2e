#include "platform/wayland/SocketReturn.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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
    std::string folderPath = slash == 0 ? "/" : path.substr(0, slash);
    OwnedFd folder(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!folder || ::inotify_add_watch(folder.get(), folderPath.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        problem = "„" + folderPath + "“ lässt sich nicht beobachten: " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SocketReturn> watcher(new SocketReturn(std::move(folder), std::move(path)));
    watcher->owed = isSocket(watcher->path);
    return watcher;
}

bool SocketReturn::socketAppeared() {
    bool appeared = owed;
    owed = false;
    alignas(inotify_event) char buffer[4096];
    auto nameOffset = path.rfind('/') + 1;
    for (;;) {
        auto got = ::read(folder.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            // Events for other files come too; only the socket's name counts, or a lost count of them.
            if (event->mask & IN_Q_OVERFLOW) appeared = true;
            if (event->len && path.compare(nameOffset, std::string::npos, event->name) == 0) appeared = true;
            at += sizeof(inotify_event) + event->len;
        }
    }
    if (!appeared || !isSocket(path)) return false;
    triesLeft = tries - 1;
    return true;
}

int SocketReturn::nextTryAfterFailure() {
    if (triesLeft <= 0 || !isSocket(path)) return -1;
    --triesLeft;
    return retryMilliseconds;
}

}  // namespace larkspire::wayland
