#pragma once

#include "platform/WorkQueue.h"
#include "platform/sim/SimMainLoop.h"

#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace larkspire::sim {

// Background work on real threads; the virtual clock waits for it before it moves on.
class SimWorkQueue : public WorkQueue {
  public:
    explicit SimWorkQueue(SimMainLoop& loop) : loop(loop) {}
    ~SimWorkQueue() override;
    // Waits for every piece of background work started so far.
    void join();
    using WorkQueue::runConcurrent;
    void runConcurrent(std::function<void()> work) override;
    void runSerial(const std::string& label, std::function<void()> work) override;
    // How many pieces were queued under a label: work that would wake a thread of the real desktop.
    int serialRuns(const std::string& label);

  private:
    SimMainLoop& loop;
    std::mutex mutex;
    std::map<std::string, std::shared_future<void>> lastOfLabel;
    std::map<std::string, int> runsOfLabel;
    std::vector<std::thread> threads;
};

}  // namespace larkspire::sim
