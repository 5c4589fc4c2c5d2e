#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace larkspire {

// Background work. Results go back to the main thread through MainQueue::bind, never by shared state.
class WorkQueue {
  public:
    virtual ~WorkQueue() = default;
    virtual void runConcurrent(std::function<void()> work) = 0;                        // any pool thread
    virtual void runSerial(const std::string& label, std::function<void()> work) = 0;  // in order per label

    // Runs `work` in the background and hands its result to `done` (typically a MainQueue::bind).
    template <class Work, class Done> void runConcurrent(Work work, Done done) {
        runConcurrent(std::function<void()>(
            [work = std::move(work), done = std::move(done)]() mutable { done(work()); }));
    }
};

}  // namespace larkspire
