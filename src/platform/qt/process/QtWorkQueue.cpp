#include "platform/qt/process/QtWorkQueue.h"

#include <QThread>

namespace larkspire::qt {

QtWorkQueue::QtWorkQueue() {
    pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

QtWorkQueue::~QtWorkQueue() {
    pool.waitForDone();
}

void QtWorkQueue::runConcurrent(std::function<void()> work) {
    pool.start(std::move(work));
}

void QtWorkQueue::runSerial(const std::string& label, std::function<void()> work) {
    std::lock_guard lock(mutex);
    auto& serial = serials[label];
    serial.pending.push_back(std::move(work));
    if (serial.draining) return;
    serial.draining = true;
    pool.start([this, label] { drain(label); });
}

void QtWorkQueue::drain(const std::string& label) {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex);
            auto& serial = serials[label];
            if (serial.pending.empty()) {
                serial.draining = false;
                return;
            }
            next = std::move(serial.pending.front());
            serial.pending.pop_front();
        }
        next();
    }
}

}  // namespace larkspire::qt
