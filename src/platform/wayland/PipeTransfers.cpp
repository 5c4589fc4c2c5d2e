#include "platform/wayland/PipeTransfers.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace larkspire::wayland {

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
    if (this != &other) {
        reset();
        descriptor = other.release();
    }
    return *this;
}

int OwnedFd::release() {
    int fd = descriptor;
    descriptor = -1;
    return fd;
}

void OwnedFd::reset() {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

PipeEnds openReceivingPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    PipeEnds pipe{OwnedFd(ends[0]), OwnedFd(ends[1])};
    // Only the reading side is ours to poll; the writer is another program and may block as it likes.
    if (::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK) != 0) return {};
    return pipe;
}

IncomingPipe::IncomingPipe(OwnedFd readEnd, std::size_t limit, TransferClock::duration patience,
                           TransferClock::time_point now)
    : readEnd(std::move(readEnd)), limit(limit), patience(patience), lastProgress(now) {
    if (!this->readEnd) current = State::failed;
}

void IncomingPipe::finish(State state) {
    current = state;
    readEnd.reset();
    if (state != State::complete) received.clear();
}

IncomingPipe::State IncomingPipe::readAvailable(TransferClock::time_point now) {
    if (current != State::receiving) return current;
    char chunk[64 * 1024];
    for (;;) {
        auto got = ::read(readEnd.get(), chunk, sizeof chunk);
        if (got > 0) {
            lastProgress = now;
            if (received.size() + static_cast<std::size_t>(got) > limit) {
                finish(State::tooLarge);
                return current;
            }
            received.append(chunk, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0) {
            finish(State::complete);
            return current;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) finish(State::failed);
        return current;
    }
}

IncomingPipe::State IncomingPipe::checkDeadline(TransferClock::time_point now) {
    if (current == State::receiving && now >= deadline()) finish(State::stalled);
    return current;
}

OutgoingPipe::OutgoingPipe(OwnedFd writeEnd, std::shared_ptr<const std::string> bytes,
                           TransferClock::duration patience, TransferClock::time_point now)
    : writeEnd(std::move(writeEnd)), bytes(std::move(bytes)), patience(patience), lastProgress(now) {
    int fd = this->writeEnd.get();
    if (fd < 0 || !this->bytes || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        finish(State::failed);
}

void OutgoingPipe::finish(State state) {
    current = state;
    writeEnd.reset();
}

OutgoingPipe::State OutgoingPipe::writeAvailable(TransferClock::time_point now) {
    if (current != State::sending) return current;
    while (written < bytes->size()) {
        auto put = ::write(writeEnd.get(), bytes->data() + written, bytes->size() - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            lastProgress = now;
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return current;
        if (put < 0 && errno == EPIPE) {
            // The reader left; the signal the write raised is pending on this thread, blocked. Taken
            // here, so it never reaches the process once the mask changes.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            timespec none{};
            while (::sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
            }
        }
        finish(State::failed);
        return current;
    }
    finish(State::complete);
    return current;
}

OutgoingPipe::State OutgoingPipe::checkDeadline(TransferClock::time_point now) {
    if (current == State::sending && now >= deadline()) finish(State::stalled);
    return current;
}

}  // namespace larkspire::wayland
