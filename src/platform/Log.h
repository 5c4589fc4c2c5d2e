#pragma once

#include <string>
#include <string_view>

namespace larkspire {

enum class LogLevel { info, error };

// The system log; every message belongs to the subsystem "de.halvik.Quirefold".
class Log {
  public:
    static constexpr std::string_view subsystem = "de.halvik.Quirefold";
    virtual ~Log() = default;
    virtual void write(std::string_view category, LogLevel level, std::string_view message) = 0;
};

// One feature's channel into the log.
class Logger {
  public:
    Logger(Log& log, std::string category) : log(&log), category(std::move(category)) {}
    void info(std::string_view message) const { log->write(category, LogLevel::info, message); }
    void error(std::string_view message) const { log->write(category, LogLevel::error, message); }

  private:
    Log* log;
    std::string category;
};

}  // namespace larkspire
