#include "platform/linux/files/TreeWalk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

template <class Call> auto retryingEintr(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

int openFolder(int parent, const char* name) {
    // O_NOFOLLOW: a link to a folder counts as the link, never as its target.
    return retryingEintr(
        [&] { return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY); });
}

// Opens a folder several names below `parent` in one call, following no link on the way; plain
// openat, which checks only the last name, where the kernel lacks openat2.
int openFolderPath(int parent, const std::string& path) {
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    int fd = static_cast<int>(
        retryingEintr([&] { return ::syscall(SYS_openat2, parent, path.c_str(), &how, sizeof how); }));
    if (fd == -1 && errno == ENOSYS) return openFolder(parent, path.c_str());
    return fd;
}

struct LinuxDirent64 {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Folders still to walk, each as a descriptor of its own; shared by the threads of one walk.
class Jobs {
  public:
    explicit Jobs(std::size_t limit) : limit(limit) {}

    // Takes `fd` when there is room, so an idle thread can walk it; false: walk it yourself.
    bool offer(int fd) {
        if (queuedCount.load(std::memory_order_relaxed) >= limit) return false;
        std::lock_guard lock(mutex);
        if (queue.size() >= limit) return false;
        queue.push_back(fd);
        ++outstanding;
        queuedCount.store(queue.size(), std::memory_order_relaxed);
        ready.notify_one();
        return true;
    }
    void add(int fd) {
        std::lock_guard lock(mutex);
        queue.push_back(fd);
        ++outstanding;
        queuedCount.store(queue.size(), std::memory_order_relaxed);
    }
    // The next folder, or -1 once every folder is walked.
    int take() {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return !queue.empty() || outstanding == 0; });
        if (queue.empty()) return -1;
        int fd = queue.front();
        queue.pop_front();
        queuedCount.store(queue.size(), std::memory_order_relaxed);
        return fd;
    }
    void finished() {
        std::lock_guard lock(mutex);
        if (--outstanding == 0) ready.notify_all();
    }

  private:
    const std::size_t limit;
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<int> queue;
    std::size_t outstanding = 0;  // queued or being walked
    std::atomic<std::size_t> queuedCount{0};
};

// One thread's depth-first walk of the folders it takes, with an explicit stack.
class Walker {
  public:
    Walker(Jobs& jobs, bool sharing, int budget)
        : jobs(jobs), sharing(sharing), budget(budget), buffer(64 * 1024) {}

    std::int64_t run() {
        for (int fd; (fd = jobs.take()) != -1;) {
            walk(fd);
            jobs.finished();
        }
        return sum;
    }

  private:
    struct Frame {
        int fd = -1;       // -1 once closed to stay within the budget, or when no subfolder is left
        std::string name;  // relative to the frame below
        std::vector<std::string> subfolders;
        std::size_t next = 0;
        bool done() const { return next >= subfolders.size(); }
    };

    void walk(int rootFd) {
        stack.clear();
        openCount = 1;
        stack.push_back(Frame{.fd = rootFd});
        read(stack.back());
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.done()) {
                closeFrame(top);
                stack.pop_back();
                continue;
            }
            std::size_t index = stack.size() - 1;
            std::string name = std::move(top.subfolders[top.next++]);
            if (top.fd == -1 && !reopen(index)) continue;
            int child = openFolder(stack[index].fd, name.c_str());
            if (child == -1 && (errno == EMFILE || errno == ENFILE)) {
                evict(stack.size());
                if (stack[index].fd == -1 && !reopen(index)) continue;
                child = openFolder(stack[index].fd, name.c_str());
            }
            // Vanished, refused or replaced by something else: skipped, the walk goes on.
            if (child == -1) continue;
            // A frame without subfolders left needs its descriptor no more.
            if (stack[index].done() && index != 0) closeFrame(stack[index]);
            if (sharing && jobs.offer(child)) continue;
            ++openCount;
            stack.push_back(Frame{.fd = child, .name = std::move(name)});
            read(stack.back());
            if (openCount > budget) evict(stack.size() - 1);
        }
    }

    // Adds the regular files' sizes and notes the subfolders.
    void read(Frame& frame) {
        for (;;) {
            long got = retryingEintr(
                [&] { return ::syscall(SYS_getdents64, frame.fd, buffer.data(), buffer.size()); });
            if (got <= 0) break;  // the end, or the folder vanished under us
            for (long at = 0; at < got;) {
                auto* entry = reinterpret_cast<LinuxDirent64*>(buffer.data() + at);
                at += entry->length;
                const char* name = entry->name;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
                switch (entry->type) {
                case DT_DIR:
                    frame.subfolders.emplace_back(name);
                    break;
                case DT_REG:
                case DT_UNKNOWN: {
                    struct stat info;
                    if (retryingEintr(
                            [&] { return ::fstatat(frame.fd, name, &info, AT_SYMLINK_NOFOLLOW); }) != 0)
                        break;
                    if (S_ISREG(info.st_mode))
                        sum += info.st_size;
                    else if (S_ISDIR(info.st_mode))
                        frame.subfolders.emplace_back(name);
                    break;
                }
                default:
                    break;  // links, devices, sockets and pipes add nothing
                }
            }
        }
    }

    void closeFrame(Frame& frame) {
        if (frame.fd == -1) return;
        ::close(frame.fd);
        frame.fd = -1;
        --openCount;
    }

    // Closes the shallowest open frames (never the walk's root) until the budget holds again.
    void evict(std::size_t below) {
        for (std::size_t i = 1; i < below && openCount > budget / 2; ++i) closeFrame(stack[i]);
    }

    // Opens a closed frame again from the nearest open one below it: the far part of the way in
    // calls of many names each, the last few frames name by name, keeping those still wanted open
    // for the way back up.
    bool reopen(std::size_t index) {
        std::size_t anchor = index;
        while (anchor > 0 && stack[anchor].fd == -1) --anchor;
        std::size_t keepFrom =
            std::max(anchor + 1, index >= static_cast<std::size_t>(budget / 4) ? index - budget / 4 : 0);
        int fd = stack[anchor].fd;
        bool fdKept = true;  // the descriptor belongs to a frame and stays open
        auto step = [&](int next, bool keep) {
            if (!fdKept) ::close(fd);
            fd = next;
            fdKept = keep;
        };
        auto fail = [&](std::size_t from) {
            if (!fdKept) ::close(fd);
            return gone(from, index);
        };
        std::string path;
        for (std::size_t i = anchor + 1; i < keepFrom; ++i) {
            // Well below PATH_MAX per call.
            if (!path.empty() && path.size() + stack[i].name.size() > 3000) {
                int next = openFolderPath(fd, path);
                if (next == -1) return fail(anchor + 1);
                step(next, false);
                path.clear();
            }
            if (!path.empty()) path += '/';
            path += stack[i].name;
        }
        if (!path.empty()) {
            int next = openFolderPath(fd, path);
            if (next == -1) return fail(anchor + 1);
            step(next, false);
        }
        for (std::size_t i = keepFrom; i <= index; ++i) {
            int next = openFolder(fd, stack[i].name.c_str());
            if (next == -1) return fail(i);
            bool keep = i == index || !stack[i].done();
            step(next, keep);
            if (keep) {
                stack[i].fd = next;
                ++openCount;
            }
        }
        return true;
    }

    // A folder on the way vanished since it was read: nothing more below it.
    bool gone(std::size_t from, std::size_t index) {
        for (std::size_t j = from; j <= index; ++j) stack[j].next = stack[j].subfolders.size();
        return false;
    }

    Jobs& jobs;
    const bool sharing;
    const int budget;
    std::vector<char> buffer;
    std::vector<Frame> stack;
    int openCount = 0;
    std::int64_t sum = 0;
};

}  // namespace

TreeWalk::TreeWalk(int threads) : threads(threads) {
    if (this->threads <= 0)
        this->threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

std::int64_t TreeWalk::sizeAtPath(const std::string& path) const {
    if (path.empty() || path.find('\0') != std::string::npos) return 0;
    struct stat info;
    if (retryingEintr([&] { return ::fstatat(AT_FDCWD, path.c_str(), &info, AT_SYMLINK_NOFOLLOW); }) != 0)
        return 0;
    if (!S_ISDIR(info.st_mode)) return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) ? info.st_size : 0;
    int root = openFolder(AT_FDCWD, path.c_str());
    if (root == -1) return 0;

    // Half of what the process may open is left to the rest of the program.
    rlimit limit{};
    std::size_t available = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = static_cast<std::size_t>(limit.rlim_cur) / 2;
    std::size_t queued = static_cast<std::size_t>(threads) * 2;
    int budget = static_cast<int>(std::clamp<std::size_t>((available > queued ? available - queued : 0) /
                                                              static_cast<std::size_t>(threads),
                                                          4, descriptorsPerThread));

    Jobs jobs(queued);
    jobs.add(root);
    std::atomic<std::int64_t> total{0};
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back([&] { total += Walker(jobs, true, budget).run(); });
    total += Walker(jobs, threads > 1, budget).run();
    for (auto& helper : helpers) helper.join();
    return total;
}

}  // namespace larkspire::linux_desktop
