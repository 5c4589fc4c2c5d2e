#pragma once

#include "platform/Alerts.h"
#include "platform/DistributedNotifications.h"
#include "platform/Log.h"
#include "platform/Workspace.h"

#include <functional>
#include <string>
#include <vector>

namespace larkspire::sim {

struct LogLine {
    std::string category;
    LogLevel level;
    std::string message;
    bool operator==(const LogLine&) const = default;
};

class RecordingLog : public Log {
  public:
    void write(std::string_view category, LogLevel level, std::string_view message) override {
        lines.push_back({std::string(category), level, std::string(message)});
    }
    // How often exactly this message was logged in the category.
    int count(std::string_view category, std::string_view message) const;
    std::vector<LogLine> lines;
};

class RecordingDistributedNotifications : public DistributedNotifications {
  public:
    void post(const std::string& name) override { posted.push_back(name); }
    std::vector<std::string> posted;
};

class RecordingWorkspace : public Workspace {
  public:
    bool open(const Url& url) override {
        opened.push_back(url);
        return opens;
    }
    std::vector<Url> opened;
    bool opens = true;
};

struct ShownAlert {
    std::string message;
    std::string informativeText;
    bool operator==(const ShownAlert&) const = default;
};

class RecordingAlerts : public Alerts {
  public:
    void showWarning(const std::string& message, const std::string& informativeText) override {
        shown.push_back({message, informativeText});
        if (whileShown) whileShown();
    }
    std::vector<ShownAlert> shown;
    // Runs while the alert is up, as other events do in the alert's own loop.
    std::function<void()> whileShown;
};

}  // namespace larkspire::sim
