#pragma once

#include "platform/MainQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace larkspire::testing {

// A main queue that runs nothing by itself: the test takes what other threads handed in.
class HandOverQueue : public MainQueue {
  public:
    void post(std::function<void()> work) override { postFromAnyThread(std::move(work)); }
    TaskToken postAfter(double, std::function<void()> work) override {
        postFromAnyThread(std::move(work));
        return {};
    }
    RepeatingTimer scheduleRepeating(double, std::function<void()>) override { return {}; }
    void postFromAnyThread(std::function<void()> work) override {
        std::lock_guard lock(mutex);
        inbox.push_back(std::move(work));
        arrived.notify_all();
    }
    // Runs the work handed in, waiting for the first piece up to ten seconds; false if none came.
    bool runArrived() { return runArrivedWithin(std::chrono::seconds(10)); }
    bool runArrivedWithin(std::chrono::milliseconds wait) {
        std::vector<std::function<void()>> work;
        {
            std::unique_lock lock(mutex);
            if (!arrived.wait_for(lock, wait, [&] { return !inbox.empty(); })) return false;
            work.swap(inbox);
        }
        for (auto& w : work) w();
        return true;
    }

  private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::function<void()>> inbox;
};

}  // namespace larkspire::testing
