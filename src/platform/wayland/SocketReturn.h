#pragma once

#include "platform/wayland/PipeTransfers.h"

#include <functional>
#include <memory>
#include <string>

namespace larkspire::wayland {

// Waits for a compositor that went away to open its socket again: the same one, or one of a name it
// picks anew (sway's IPC socket carries its process number). Only the socket's folder is watched,
// through inotify, so nothing wakes until it changes. A compositor makes its socket a moment before it
// answers on it, so a connection it refuses is tried again a few times, 250 ms apart; then the next
// change of the folder starts the tries anew. The caller watches `fd()` on its own loop.
class SocketReturn {
  public:
    static constexpr int tries = 20;
    static constexpr int retryMilliseconds = 250;

    // The socket named by WAYLAND_DISPLAY; nothing, with the reason, where its folder cannot be watched.
    static std::unique_ptr<SocketReturn> watch(std::string& problem);
    // Any socket in `folder` whose name `wanted` accepts.
    static std::unique_ptr<SocketReturn> watch(const std::string& folder,
                                               std::function<bool(const std::string& name)> wanted,
                                               std::string& problem);

    int fd() const { return folder.get(); }  // readable when the folder changed
    // True when a connection is worth trying now: the socket is there and was made anew, or was there
    // already when the watch began (the compositor may have come back before the loss was seen).
    bool socketAppeared();
    // A try failed: milliseconds until the next one, or -1 once the tries are spent.
    int nextTryAfterFailure();

  private:
    std::string socketIn(const std::string& name) const;
    SocketReturn(OwnedFd watch, std::string folderPath, std::function<bool(const std::string&)> wanted)
        : folder(std::move(watch)), folderPath(std::move(folderPath)), wanted(std::move(wanted)) {}

    OwnedFd folder;
    std::string folderPath;
    std::function<bool(const std::string&)> wanted;
    std::string path;   // of the socket that appeared last
    bool owed = false;  // a try, for a socket that was there when the watch began
    int triesLeft = 0;
};

}  // namespace larkspire::wayland
