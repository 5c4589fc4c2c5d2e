#pragma once

#include "platform/GameModeNotifications.h"
#include "platform/sim/SimMainLoop.h"

#include <map>

namespace larkspire::sim {

// The system's game mode as a test switches it; every change is announced on the main queue.
class SimGameMode : public GameModeNotifications {
  public:
    explicit SimGameMode(SimMainLoop& loop) : loop(loop) {}
    std::uint32_t registerDispatch(std::int32_t& token, std::function<void()> handler) override {
        if (registrationStatus != 0) return registrationStatus;
        token = nextToken++;
        handlers[token] = std::move(handler);
        return 0;
    }
    std::uint64_t state(std::int32_t) const override { return currentState; }
    void cancel(std::int32_t token) override { handlers.erase(token); }

    void setState(std::uint64_t state) {
        currentState = state;
        for (const auto& [token, handler] : handlers) loop.post(handler);
    }

    std::uint32_t registrationStatus = 0;  // non-zero: registration fails with it
    std::size_t registrations() const { return handlers.size(); }

  private:
    SimMainLoop& loop;
    std::uint64_t currentState = 0;
    std::int32_t nextToken = 1;
    std::map<std::int32_t, std::function<void()>> handlers;
};

}  // namespace larkspire::sim
