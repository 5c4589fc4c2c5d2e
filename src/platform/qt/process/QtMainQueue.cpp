#include "platform/qt/process/QtMainQueue.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace larkspire::qt {

namespace {

int milliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return 0;
    return static_cast<int>(std::min(std::llround(seconds * 1000.0), static_cast<long long>(INT32_MAX)));
}

}  // namespace

void QtMainQueue::post(std::function<void()> work) {
    QMetaObject::invokeMethod(&context, std::move(work), Qt::QueuedConnection);
}

TaskToken QtMainQueue::postAfter(double seconds, std::function<void()> work) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    QTimer::singleShot(milliseconds(seconds), Qt::PreciseTimer, &context,
                       [cancelled, work = std::move(work)] {
                           if (!cancelled->load()) work();
                       });
    return TaskToken(cancelled);
}

RepeatingTimer QtMainQueue::scheduleRepeating(double interval, std::function<void()> work) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto* timer = new QTimer(&context);
    // Timers of a second or more may move by up to 5 %, so that the widgets' seconds wake the
    // program once, together; shorter ones keep their pace.
    timer->setTimerType(interval >= 1.0 ? Qt::CoarseTimer : Qt::PreciseTimer);
    timer->setInterval(std::max(1, milliseconds(interval)));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, cancelled, work = std::move(work)] {
        if (cancelled->load()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        work();
    });
    timer->start();
    return RepeatingTimer(cancelled);
}

void QtMainQueue::postFromAnyThread(std::function<void()> work) {
    // A queued call to an object of the main thread is thread-safe and runs there.
    QMetaObject::invokeMethod(&context, std::move(work), Qt::QueuedConnection);
}

}  // namespace larkspire::qt
