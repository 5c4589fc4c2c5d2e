#include "platform/linux/input/FrameTimer.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace larkspire::linux_desktop {

namespace {

class FrameTimer : public DisplayLink {
  public:
    explicit FrameTimer(double perSecond) : period(std::chrono::duration<double>(1.0 / perSecond)) {}
    ~FrameTimer() override { stop(); }

    void setOutputHandler(std::function<void()> newHandler) override { handler = std::move(newHandler); }

    void start() override {
        if (thread.joinable()) return;
        stopping = false;
        thread = std::thread([this] { run(); });
    }

    void stop() override {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
    }

  private:
    void run() {
        using clock = std::chrono::steady_clock;
        auto step = std::chrono::duration_cast<clock::duration>(period);
        auto deadline = clock::now() + step;
        std::unique_lock lock(mutex);
        while (!wake.wait_until(lock, deadline, [this] { return stopping; })) {
            lock.unlock();
            if (handler) handler();
            lock.lock();
            deadline += step;
            // After a stall, carry on from now instead of firing the missed frames in a burst.
            if (auto now = clock::now(); deadline < now) deadline = now + step;
        }
    }

    std::chrono::duration<double> period;
    std::function<void()> handler;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};

}  // namespace

std::unique_ptr<DisplayLink> FrameTimers::createWithActiveDisplays() {
    double rate = refreshRate ? refreshRate() : 60;
    if (!std::isfinite(rate) || rate < 1 || rate > 1000) rate = 60;
    return std::make_unique<FrameTimer>(rate);
}

}  // namespace larkspire::linux_desktop
