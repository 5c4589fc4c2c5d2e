#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace larkspire {

// A one-shot task already scheduled; dropping the token does not cancel it.
class TaskToken {
  public:
    TaskToken() = default;
    explicit TaskToken(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled(std::move(cancelled)) {}
    void cancel() {
        if (cancelled) cancelled->store(true);
    }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled;
};

// A repeating timer; it stops when invalidated or destroyed.
class RepeatingTimer {
  public:
    RepeatingTimer() = default;
    explicit RepeatingTimer(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled(std::move(cancelled)) {}
    RepeatingTimer(RepeatingTimer&&) noexcept = default;
    RepeatingTimer& operator=(RepeatingTimer&& other) noexcept {
        if (this != &other) {
            invalidate();
            cancelled = std::move(other.cancelled);
        }
        return *this;
    }
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;
    ~RepeatingTimer() { invalidate(); }

    void invalidate() {
        if (cancelled) cancelled->store(true);
    }
    bool isValid() const { return cancelled && !cancelled->load(); }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled;
};

// The main thread's queue: every feature's state is touched only from work run here.
class MainQueue {
  public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> work) = 0;  // runs after the current work
    virtual TaskToken postAfter(double seconds, std::function<void()> work) = 0;  // runs once, cancellable
    virtual RepeatingTimer scheduleRepeating(double interval,
                                             std::function<void()> work) = 0;  // until invalidated
    virtual void postFromAnyThread(std::function<void()> work) = 0;            // thread-safe hand-back

    // A callable for other threads: it hands its arguments back to the main thread and calls
    // `handler(object, args...)` there, but only while the object still lives.
    template <class T, class F> auto bind(std::weak_ptr<T> object, F handler) {
        return [this, object = std::move(object), handler = std::move(handler)](auto... args) {
            postFromAnyThread([object, handler, args...]() mutable {
                if (auto self = object.lock()) handler(*self, std::move(args)...);
            });
        };
    }
};

// Work for the main queue that does nothing once its object is gone.
template <class T, class F> std::function<void()> weakly(const std::weak_ptr<T>& object, F handler) {
    return [object, handler = std::move(handler)]() mutable {
        if (auto self = object.lock()) handler(*self);
    };
}

}  // namespace larkspire
