#include "platform/sim/SimWorkQueue.h"

namespace larkspire::sim {

SimWorkQueue::~SimWorkQueue() {
    join();
}

void SimWorkQueue::join() {
    // Work may start further work, so this goes on until no thread is left.
    while (true) {
        std::vector<std::thread> started;
        {
            std::lock_guard lock(mutex);
            started.swap(threads);
        }
        if (started.empty()) return;
        for (auto& t : started) t.join();
    }
}

void SimWorkQueue::runConcurrent(std::function<void()> work) {
    loop.backgroundWorkStarted();
    std::lock_guard lock(mutex);
    threads.emplace_back([this, work = std::move(work)] {
        work();
        loop.backgroundWorkFinished();
    });
}

void SimWorkQueue::runSerial(const std::string& label, std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::shared_future<void> previous;
    {
        std::lock_guard lock(mutex);
        previous = lastOfLabel[label];
        ++runsOfLabel[label];
        lastOfLabel[label] = done->get_future().share();
    }
    // Each piece waits for the one queued before it under the same label.
    runConcurrent([previous, done, work = std::move(work)] {
        if (previous.valid()) previous.wait();
        work();
        done->set_value();
    });
}

int SimWorkQueue::serialRuns(const std::string& label) {
    std::lock_guard lock(mutex);
    return runsOfLabel[label];
}

}  // namespace larkspire::sim
