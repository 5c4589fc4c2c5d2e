#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace larkspire::wayland {

using TransferClock = std::chrono::steady_clock;

// A descriptor that is closed with its owner.
class OwnedFd {
  public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : descriptor(fd) {}
    OwnedFd(OwnedFd&& other) noexcept : descriptor(other.release()) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept;
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd() { reset(); }

    int get() const { return descriptor; }
    explicit operator bool() const { return descriptor >= 0; }
    int release();
    void reset();

  private:
    int descriptor = -1;
};

// The two ends of a new pipe; both close on exec, the read end does not block.
struct PipeEnds {
    OwnedFd readEnd;
    OwnedFd writeEnd;
};
PipeEnds openReceivingPipe();  // both ends empty when the system has no descriptor left

// Bytes another program writes into a pipe, taken as they come without ever blocking. The bytes
// are bounded, and a writer that stays silent for `patience` is given up, so an offer that never
// delivers holds nothing up.
class IncomingPipe {
  public:
    enum class State { receiving, complete, tooLarge, failed, stalled };

    IncomingPipe(OwnedFd readEnd, std::size_t limit, TransferClock::duration patience,
                 TransferClock::time_point now);

    int fd() const { return readEnd.get(); }
    State state() const { return current; }
    TransferClock::time_point deadline() const { return lastProgress + patience; }
    // Takes what the pipe holds now; call it when poll says the pipe is readable or hung up.
    State readAvailable(TransferClock::time_point now);
    // Gives up once the deadline has passed without a byte.
    State checkDeadline(TransferClock::time_point now);
    std::string take() { return std::move(received); }  // the bytes, whole once complete

  private:
    void finish(State state);

    OwnedFd readEnd;
    std::size_t limit;
    TransferClock::duration patience;
    TransferClock::time_point lastProgress;
    State current = State::receiving;
    std::string received;
};

// Bytes written into a pipe another program reads, as fast as it takes them and never blocking.
// A reader that takes nothing for `patience` is given up. A reader that went away gives `failed`,
// never a SIGPIPE, as long as the writing thread blocks that signal.
class OutgoingPipe {
  public:
    enum class State { sending, complete, failed, stalled };

    // The descriptor is made non-blocking here.
    OutgoingPipe(OwnedFd writeEnd, std::shared_ptr<const std::string> bytes, TransferClock::duration patience,
                 TransferClock::time_point now);

    int fd() const { return writeEnd.get(); }
    State state() const { return current; }
    TransferClock::time_point deadline() const { return lastProgress + patience; }
    // Writes what the pipe takes now; call it when poll says the pipe is writable or broken.
    State writeAvailable(TransferClock::time_point now);
    State checkDeadline(TransferClock::time_point now);

  private:
    void finish(State state);

    OwnedFd writeEnd;
    std::shared_ptr<const std::string> bytes;
    std::size_t written = 0;
    TransferClock::duration patience;
    TransferClock::time_point lastProgress;
    State current = State::sending;
};

}  // namespace larkspire::wayland
