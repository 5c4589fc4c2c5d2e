#pragma once

#include "platform/MainQueue.h"

#include <QObject>

namespace larkspire::qt {

// The main queue on Qt's event loop; timers keep firing while a menu or a modal dialog runs its own loop.
// Create it on the main thread.
class QtMainQueue : public MainQueue {
  public:
    void post(std::function<void()> work) override;
    TaskToken postAfter(double seconds, std::function<void()> work) override;
    RepeatingTimer scheduleRepeating(double interval, std::function<void()> work) override;
    void postFromAnyThread(std::function<void()> work) override;

  private:
    QObject context;  // lives on the main thread; work queued on it runs there
};

}  // namespace larkspire::qt
