#include "platform/linux/accessibility/AccessibilityBusWatcher.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>

using namespace larkspire::linux_desktop;

namespace {

// Sets an environment variable for the test's length; the watcher reads it on its own thread, so it
// is set before the watcher starts and restored after it ended.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable() {
        if (previous)
            setenv(name, previous->c_str(), 1);
        else
            unsetenv(name);
    }

  private:
    const char* name;
    std::optional<std::string> previous;
};

TEST(AccessibilityBusWatcher, WithoutABusSaysWhyReportsNothingAndStops) {
    ScopedVariable session("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/larkspire-test-bus");
    ScopedVariable accessibility("AT_SPI_BUS_ADDRESS", nullptr);
    std::atomic<int> reports{0};
    std::string problem;
    {
        AccessibilityBusWatcher watcher([&](std::vector<FileManagerWindow>) { ++reports; });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((problem = watcher.problem()).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        watcher.setWanted(false);
        watcher.setWanted(true);
    }  // ends while it waits to try again
    EXPECT_NE(problem.find("Sitzungs-Bus"), std::string::npos) << problem;
    EXPECT_EQ(reports, 0);
}

}  // namespace
