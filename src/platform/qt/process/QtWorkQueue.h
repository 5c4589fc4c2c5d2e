#pragma once

#include "platform/WorkQueue.h"

#include <QThreadPool>
#include <deque>
#include <map>
#include <mutex>

namespace larkspire::qt {

// A thread pool for concurrent work; each label's work runs on it one after the other.
class QtWorkQueue : public WorkQueue {
  public:
    QtWorkQueue();
    ~QtWorkQueue() override;  // waits for work in flight
    using WorkQueue::runConcurrent;
    void runConcurrent(std::function<void()> work) override;
    void runSerial(const std::string& label, std::function<void()> work) override;

  private:
    struct Serial {
        std::deque<std::function<void()>> pending;
        bool draining = false;
    };
    void drain(const std::string& label);

    QThreadPool pool;
    std::mutex mutex;
    std::map<std::string, Serial> serials;
};

}  // namespace larkspire::qt
