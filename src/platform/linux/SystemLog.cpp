#include "platform/linux/SystemLog.h"

#include <string>
#include <sys/stat.h>

#ifdef LARKSPIRE_HAVE_SYSTEMD
#include <syslog.h>
#include <systemd/sd-journal.h>
#endif

namespace larkspire::linux_desktop {

namespace {

bool journalRuns() {
    struct stat info {};
    return ::stat("/run/systemd/journal/socket", &info) == 0;
}

}  // namespace

SystemLog::SystemLog(Target target, std::FILE* stream) : stream(stream) {
#ifdef LARKSPIRE_HAVE_SYSTEMD
    toJournal = target == Target::journal || (target == Target::automatic && journalRuns());
#else
    (void)target;
#endif
}

void SystemLog::write(std::string_view category, LogLevel level, std::string_view message) {
    const char* levelName = level == LogLevel::error ? "error" : "info";
#ifdef LARKSPIRE_HAVE_SYSTEMD
    if (toJournal) {
        std::string text(message);
        std::string subsystemField = "SUBSYSTEM=" + std::string(subsystem);
        std::string categoryField = "CATEGORY=" + std::string(category);
        sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%d",
                        level == LogLevel::error ? LOG_ERR : LOG_INFO, "%s", subsystemField.c_str(), "%s",
                        categoryField.c_str(), "SYSLOG_IDENTIFIER=larkspire", nullptr);
        return;
    }
#endif
    std::lock_guard lock(mutex);
    std::fprintf(stream, "larkspire [%.*s] %s: %.*s\n", static_cast<int>(category.size()), category.data(),
                 levelName, static_cast<int>(message.size()), message.data());
    std::fflush(stream);
}

}  // namespace larkspire::linux_desktop
