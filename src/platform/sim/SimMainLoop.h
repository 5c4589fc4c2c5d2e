#pragma once

#include "platform/Clock.h"
#include "platform/MainQueue.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace larkspire::sim {

// A virtual clock with its main queue: time moves only in advance(), which runs every due task
// and timer in time order, work handed back from other threads included.
class SimMainLoop : public MainQueue, public Clock {
  public:
    static constexpr double wallTimeAtStart = 1'796'000'000.0;  // a fixed day in December 2026

    double uptime() const override { return now; }
    double wallTime() const override { return wallTimeAtStart + now; }

    void post(std::function<void()> work) override;
    TaskToken postAfter(double seconds, std::function<void()> work) override;
    RepeatingTimer scheduleRepeating(double interval, std::function<void()> work) override;
    void postFromAnyThread(std::function<void()> work) override;

    // Runs everything due up to now + seconds, then leaves the clock there.
    void advance(double seconds);
    // Runs what is due now, without moving the clock.
    void runPending() { advance(0); }

    // Background work in flight; advance() waits for it before looking at the queue.
    void backgroundWorkStarted();
    void backgroundWorkFinished();

    std::size_t pendingTaskCount() const;  // tasks and live timers still scheduled

  private:
    struct Task {
        std::function<void()> work;
        std::shared_ptr<std::atomic<bool>> cancelled;
        double repeatInterval = 0;  // 0 for one-shot tasks
    };
    void schedule(double at, Task task);
    void takeInbox();

    double now = 0;
    std::uint64_t sequence = 0;
    std::map<std::pair<double, std::uint64_t>, Task> tasks;

    mutable std::mutex inboxMutex;
    std::condition_variable idle;
    std::vector<std::function<void()>> inbox;
    int inFlight = 0;
};

}  // namespace larkspire::sim
