#pragma once

#include "platform/GameModeNotifications.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace larkspire::linux_desktop {

// The GameMode daemon on the session bus: its client count is the state (0 while no game asked for
// the mode, while no daemon runs and while the bus is gone), and its PropertiesChanged signal and
// the comings and goings of its bus name are the notification.
class GameModeDaemon : public GameModeNotifications {
  public:
    static constexpr const char* service = "com.feralinteractive.GameMode";
    static constexpr const char* objectPath = "/com/feralinteractive/GameMode";

    explicit GameModeDaemon(MainQueue& main, Log* log = nullptr);
    ~GameModeDaemon() override;

    // Fails with an errno value when there is no session bus; a daemon that starts later is noticed.
    std::uint32_t registerDispatch(std::int32_t& token, std::function<void()> handler) override;
    std::uint64_t state(std::int32_t token) const override;
    void cancel(std::int32_t token) override;

    struct Bus;

  private:
    void listen();
    bool serve();
    void refresh();
    void announce();

    MainQueue& main;
    Log* log;
    std::unique_ptr<Bus> bus;
    std::atomic<std::uint64_t> clientCount{0};
    std::mutex handlersMutex;  // registration on the main thread, announcements from the bus thread
    std::map<std::int32_t, std::function<void()>> handlers;
    std::int32_t nextToken = 1;
    std::thread listener;
    int wake = -1;
};

}  // namespace larkspire::linux_desktop
