#include "platform/wayland/PipeTransfers.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

using namespace larkspire::wayland;
using namespace std::chrono_literals;

namespace {

struct Pipe {
    Pipe() : ends(openReceivingPipe()) {}
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(ends.writeEnd.get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    PipeEnds ends;
};

const auto start = TransferClock::time_point{} + 1000s;

}  // namespace

TEST(IncomingPipe, GivesUpOnAnOwnerThatNeverWritesButKeepsWaitingWhileBytesArrive) {
    Pipe silent;
    IncomingPipe never(std::move(silent.ends.readEnd), 1000, 1s, start);
    // Nothing there yet: the read returns at once instead of waiting for the owner.
    EXPECT_EQ(never.readAvailable(start), IncomingPipe::State::receiving);
    EXPECT_EQ(never.checkDeadline(start + 999ms), IncomingPipe::State::receiving);
    EXPECT_EQ(never.checkDeadline(start + 1s), IncomingPipe::State::stalled);
    EXPECT_EQ(never.fd(), -1);  // given back to the system

    Pipe slow;
    IncomingPipe trickle(std::move(slow.ends.readEnd), 1000, 1s, start);
    slow.write("cut\nfile:///a");
    EXPECT_EQ(trickle.readAvailable(start + 800ms), IncomingPipe::State::receiving);
    EXPECT_EQ(trickle.checkDeadline(start + 1500ms), IncomingPipe::State::receiving);  // 0.7 s since a byte
    slow.write("\nfile:///b");
    slow.ends.writeEnd.reset();
    EXPECT_EQ(trickle.readAvailable(start + 1700ms), IncomingPipe::State::complete);
    EXPECT_EQ(trickle.take(), "cut\nfile:///a\nfile:///b");
}

TEST(IncomingPipe, TakesExactlyTheBoundAndRefusesOneByteMore) {
    Pipe full;
    IncomingPipe atBound(std::move(full.ends.readEnd), 10, 1s, start);
    full.write("0123456789");
    full.ends.writeEnd.reset();
    EXPECT_EQ(atBound.readAvailable(start), IncomingPipe::State::complete);
    EXPECT_EQ(atBound.take(), "0123456789");

    Pipe over;
    IncomingPipe beyond(std::move(over.ends.readEnd), 10, 1s, start);
    over.write("01234567890");  // the owner still holds its end: the bound ends it, not the end of data
    EXPECT_EQ(beyond.readAvailable(start), IncomingPipe::State::tooLarge);
    EXPECT_EQ(beyond.take(), "");
    EXPECT_EQ(beyond.fd(), -1);
    // A stalled or refused read never turns into a result later.
    EXPECT_EQ(beyond.checkDeadline(start + 10s), IncomingPipe::State::tooLarge);
}

TEST(OutgoingPipe, SendsMoreThanThePipeHoldsToAReaderThatTakesItInParts) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    OwnedFd readEnd(ends[0]);
    auto bytes = std::make_shared<const std::string>(300 * 1024, 'x');
    OutgoingPipe out(OwnedFd(ends[1]), bytes, 5s, start);
    // The pipe fills and the writer returns instead of blocking until someone reads.
    EXPECT_EQ(out.writeAvailable(start), OutgoingPipe::State::sending);
    std::string received;
    char chunk[64 * 1024];
    auto now = start;
    while (out.state() == OutgoingPipe::State::sending) {
        auto got = ::read(readEnd.get(), chunk, sizeof chunk);
        ASSERT_GT(got, 0);
        received.append(chunk, static_cast<std::size_t>(got));
        now += 4s;  // slower than the patience in total, but never silent for that long
        out.writeAvailable(now);
        ASSERT_NE(out.checkDeadline(now), OutgoingPipe::State::stalled);
    }
    EXPECT_EQ(out.state(), OutgoingPipe::State::complete);
    for (ssize_t got; (got = ::read(readEnd.get(), chunk, sizeof chunk)) > 0;)
        received.append(chunk, static_cast<std::size_t>(got));
    EXPECT_EQ(received, *bytes);
}

TEST(OutgoingPipe, LetsGoOfAReaderThatStopsReadingOrLeaves) {
    int stuck[2];
    ASSERT_EQ(::pipe2(stuck, O_CLOEXEC), 0);
    OwnedFd stuckReader(stuck[0]);
    OutgoingPipe unread(OwnedFd(stuck[1]), std::make_shared<const std::string>(300 * 1024, 'y'), 5s, start);
    EXPECT_EQ(unread.writeAvailable(start), OutgoingPipe::State::sending);
    EXPECT_EQ(unread.checkDeadline(start + 5s), OutgoingPipe::State::stalled);
    EXPECT_EQ(unread.fd(), -1);

    // The connection's thread blocks every signal; so does this one, as the write raises SIGPIPE.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    int gone[2];
    ASSERT_EQ(::pipe2(gone, O_CLOEXEC), 0);
    ::close(gone[0]);
    OutgoingPipe left(OwnedFd(gone[1]), std::make_shared<const std::string>("copy\nfile:///a"), 5s, start);
    EXPECT_EQ(left.writeAvailable(start), OutgoingPipe::State::failed);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));  // taken, so unblocking it later ends no process
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}
