#include "platform/sim/SimMainLoop.h"

#include <algorithm>

namespace larkspire::sim {

void SimMainLoop::schedule(double at, Task task) {
    tasks.emplace(std::make_pair(at, sequence++), std::move(task));
}

void SimMainLoop::post(std::function<void()> work) {
    schedule(now, Task{std::move(work), std::make_shared<std::atomic<bool>>(false)});
}

TaskToken SimMainLoop::postAfter(double seconds, std::function<void()> work) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    schedule(now + std::max(0.0, seconds), Task{std::move(work), cancelled});
    return TaskToken(cancelled);
}

RepeatingTimer SimMainLoop::scheduleRepeating(double interval, std::function<void()> work) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    interval = std::max(interval, 1e-4);
    schedule(now + interval, Task{std::move(work), cancelled, interval});
    return RepeatingTimer(cancelled);
}

void SimMainLoop::postFromAnyThread(std::function<void()> work) {
    std::lock_guard lock(inboxMutex);
    inbox.push_back(std::move(work));
}

void SimMainLoop::backgroundWorkStarted() {
    std::lock_guard lock(inboxMutex);
    ++inFlight;
}

void SimMainLoop::backgroundWorkFinished() {
    std::lock_guard lock(inboxMutex);
    --inFlight;
    idle.notify_all();
}

void SimMainLoop::takeInbox() {
    std::vector<std::function<void()>> arrived;
    {
        std::unique_lock lock(inboxMutex);
        idle.wait(lock, [this] { return inFlight == 0; });
        arrived.swap(inbox);
    }
    for (auto& work : arrived) post(std::move(work));
}

void SimMainLoop::advance(double seconds) {
    double target = now + std::max(0.0, seconds);
    while (true) {
        takeInbox();
        auto next = tasks.begin();
        if (next == tasks.end() || next->first.first > target) break;
        now = std::max(now, next->first.first);
        Task task = std::move(next->second);
        tasks.erase(next);
        if (task.cancelled->load()) continue;
        if (task.repeatInterval > 0)
            schedule(now + task.repeatInterval, Task{task.work, task.cancelled, task.repeatInterval});
        task.work();
    }
    now = target;
}

std::size_t SimMainLoop::pendingTaskCount() const {
    return static_cast<std::size_t>(std::count_if(
        tasks.begin(), tasks.end(), [](const auto& entry) { return !entry.second.cancelled->load(); }));
}

}  // namespace larkspire::sim
