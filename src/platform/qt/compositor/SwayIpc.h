#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::qt::sway {

constexpr std::uint32_t subscribeRequest = 2;
constexpr std::uint32_t getTreeRequest = 4;
constexpr std::uint32_t eventFlag = 0x80000000;
// A tree of a few hundred windows takes some hundred KiB; anything past this is no answer to use.
constexpr std::size_t maximumMessage = 8 * 1024 * 1024;

// The socket sway listens on, as its own tools find it: $SWAYSOCK, else $I3SOCK; empty without.
std::string socketPath();
// The sockets sway instances of this user listen on in `folder`, the newest first.
std::vector<std::string> socketsIn(const std::string& folder);
// A name sway gives its socket for this user: "sway-ipc.UID.PID.sock".
bool isSocketName(const std::string& name);

struct Message {
    std::uint32_t type = 0;
    std::string payload;
};

std::string encode(std::uint32_t type, std::string_view payload);

// Splits the byte stream of a connection into messages.
class MessageReader {
  public:
    enum class Status { incomplete, complete, tooLarge, garbage };
    void append(const char* bytes, std::size_t count) { buffer.append(bytes, count); }
    // `complete` fills `message`; after `tooLarge` or `garbage` the stream cannot be followed further.
    Status next(Message& message);

  private:
    std::string buffer;
};

// One connection to sway's IPC socket, never blocking longer than a request's timeout.
class Connection {
  public:
    // Nothing, with the reason in `problem`, when no sway listens there.
    static std::unique_ptr<Connection> open(const std::string& path, std::string& problem);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int descriptor() const { return fd; }
    // Sends one request and waits for its reply. Nothing, with the reason in `problem`, when sway
    // does not answer in time, answers garbage or more than `maximumMessage`; the connection is then
    // of no further use.
    std::optional<std::string> request(std::uint32_t type, std::string_view payload, std::string& problem,
                                       int timeoutMilliseconds = 2000);
    // Takes what arrived without waiting. False, with the reason in `problem`, once the connection
    // ended or sent something unreadable.
    bool readAvailable(std::vector<Message>& messages, std::string& problem);
    bool timedOut() const { return waitedInVain; }  // the last request failed for want of an answer

  private:
    explicit Connection(int fd) : fd(fd) {}
    int fd;
    bool waitedInVain = false;
    MessageReader reader;
};

}  // namespace larkspire::qt::sway
