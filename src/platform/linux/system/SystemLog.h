#pragma once

#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace larkspire::linux_desktop {

// The systemd journal, with the subsystem and category as fields; one line per message on stderr
// where no journal runs.
class SystemLog : public Log {
  public:
    enum class Target { automatic, journal, stream };
    explicit SystemLog(Target target = Target::automatic, std::FILE* stream = stderr);
    void write(std::string_view category, LogLevel level, std::string_view message) override;
    bool writesToJournal() const { return toJournal; }

  private:
    bool toJournal = false;
    std::FILE* stream;
    std::mutex mutex;  // messages may come from background work
};

}  // namespace larkspire::linux_desktop
