#pragma once

#include "platform/GameModeNotifications.h"
#include "platform/MainQueue.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace larkspire::linux_desktop {

// The GameMode daemon on the session bus: its client count is the state (0 while no game asked for
// the mode), and its PropertiesChanged signal is the notification.
class GameModeDaemon : public GameModeNotifications {
  public:
    static constexpr const char* service = "com.feralinteractive.GameMode";
    static constexpr const char* objectPath = "/com/feralinteractive/GameMode";

    explicit GameModeDaemon(MainQueue& main);
    ~GameModeDaemon() override;

    // Fails with an errno value when there is no session bus or no daemon on it.
    std::uint32_t registerDispatch(std::int32_t& token, std::function<void()> handler) override;
    std::uint64_t state(std::int32_t token) const override;
    void cancel(std::int32_t token) override;

    struct Bus;

  private:
    void listen();
    void announce();

    MainQueue& main;
    std::unique_ptr<Bus> bus;
    std::atomic<std::uint64_t> clientCount{0};
    std::mutex handlersMutex;  // registration on the main thread, announcements from the bus thread
    std::map<std::int32_t, std::function<void()>> handlers;
    std::int32_t nextToken = 1;
    std::thread listener;
    int wake = -1;
};

}  // namespace larkspire::linux_desktop
