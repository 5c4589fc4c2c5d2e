#include "platform/qt/compositor/SwayIpc.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace larkspire::qt::sway {

namespace {

constexpr std::string_view magic = "i3-ipc";
constexpr std::size_t headerSize = magic.size() + 8;

std::uint32_t readNumber(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::string errorText(int error) {
    return std::strerror(error);
}

}  // namespace

std::string socketPath() {
    for (const char* name : {"SWAYSOCK", "I3SOCK"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return {};
}

bool isSocketName(const std::string& name) {
    return name.starts_with("sway-ipc." + std::to_string(getuid()) + ".") && name.ends_with(".sock");
}

std::vector<std::string> socketsIn(const std::string& folder) {
    std::vector<std::pair<std::int64_t, std::string>> found;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (!isSocketName(name)) continue;
            auto path = folder + "/" + name;
            struct stat info {};
            if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != getuid())
                continue;
            found.emplace_back(
                static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, path);
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& [time, path] : found) paths.push_back(std::move(path));
    return paths;
}

std::string encode(std::uint32_t type, std::string_view payload) {
    std::string bytes(magic);
    auto length = static_cast<std::uint32_t>(payload.size());
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
    bytes.append(payload);
    return bytes;
}

MessageReader::Status MessageReader::next(Message& message) {
    if (buffer.size() < magic.size()) {
        return buffer.compare(0, buffer.size(), magic, 0, buffer.size()) == 0 ? Status::incomplete
                                                                              : Status::garbage;
    }
    if (buffer.compare(0, magic.size(), magic) != 0) return Status::garbage;
    if (buffer.size() < headerSize) return Status::incomplete;
    std::size_t length = readNumber(buffer.data() + magic.size());
    if (length > maximumMessage) return Status::tooLarge;
    if (buffer.size() < headerSize + length) return Status::incomplete;
    message.type = readNumber(buffer.data() + magic.size() + 4);
    message.payload.assign(buffer, headerSize, length);
    buffer.erase(0, headerSize + length);
    return Status::complete;
}

std::unique_ptr<Connection> Connection::open(const std::string& path, std::string& problem) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        problem = path.empty() ? "kein sway-Socket" : "Socketpfad zu lang";
        return nullptr;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        problem = errorText(errno);
        return nullptr;
    }
    // A UNIX socket connects at once or not at all, so the connect itself never waits on sway.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        problem = path + ": " + errorText(errno);
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<Connection>(new Connection(fd));
}

Connection::~Connection() {
    close(fd);
}

std::optional<std::string> Connection::request(std::uint32_t type, std::string_view payload,
                                               std::string& problem, int timeoutMilliseconds) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    auto remaining = [&deadline] {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::max<std::int64_t>(0, left));
    };
    auto bytes = encode(type, payload);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        auto n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd waiting{.fd = fd, .events = POLLOUT, .revents = 0};
            if (poll(&waiting, 1, remaining()) > 0) continue;
            problem = "sway nimmt keine Anfrage an";
            waitedInVain = true;
            return std::nullopt;
        }
        problem = "sway-Verbindung beendet: " + errorText(errno);
        return std::nullopt;
    }
    char chunk[65536];
    for (;;) {
        Message message;
        switch (reader.next(message)) {
        case MessageReader::Status::complete:
            if (message.type & eventFlag) continue;  // events of a subscription are not the answer
            if (message.type != type) {
                problem = "sway antwortet auf eine andere Anfrage";
                return std::nullopt;
            }
            return std::move(message.payload);
        case MessageReader::Status::tooLarge:
            problem = "Antwort größer als " + std::to_string(maximumMessage / (1024 * 1024)) + " MiB";
            return std::nullopt;
        case MessageReader::Status::garbage:
            problem = "unlesbare Antwort";
            return std::nullopt;
        case MessageReader::Status::incomplete:
            break;
        }
        auto n = recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            reader.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            problem = "sway hat die Verbindung beendet";
            return std::nullopt;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) {
            problem = "sway-Verbindung beendet: " + errorText(errno);
            return std::nullopt;
        }
        pollfd waiting{.fd = fd, .events = POLLIN, .revents = 0};
        if (poll(&waiting, 1, remaining()) <= 0) {
            problem = "sway antwortet nicht";
            waitedInVain = true;
            return std::nullopt;
        }
    }
}

bool Connection::readAvailable(std::vector<Message>& messages, std::string& problem) {
    char chunk[65536];
    for (;;) {
        // Messages are taken after every chunk, so an oversized one is refused by its header.
        for (;;) {
            Message message;
            auto status = reader.next(message);
            if (status == MessageReader::Status::complete) {
                messages.push_back(std::move(message));
                continue;
            }
            if (status == MessageReader::Status::tooLarge) {
                problem = "Nachricht größer als " + std::to_string(maximumMessage / (1024 * 1024)) + " MiB";
                return false;
            }
            if (status == MessageReader::Status::garbage) {
                problem = "unlesbare Nachricht";
                return false;
            }
            break;
        }
        auto n = recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            reader.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        problem = n == 0 ? "sway hat die Verbindung beendet" : "sway-Verbindung beendet: " + errorText(errno);
        return false;
    }
}

}  // namespace larkspire::qt::sway
