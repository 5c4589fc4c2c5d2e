#include "platform/linux/system/SystemLog.h"

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

// Messages carry paths and URLs from outside; a line feed or a terminal escape in them must not
// start a line of its own or reach the terminal as a command.
std::string oneLine(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else if ((c < 0x20 && c != '\t') || c == 0x7F)
            line += std::string("\\x") + digits[c >> 4] + digits[c & 0xF];
        else
            line.push_back(ch);
    }
    return line;
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
    auto line = "larkspire [" + oneLine(category) + "] " + levelName + ": " + oneLine(message) + "\n";
    std::lock_guard lock(mutex);
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
}

}  // namespace larkspire::linux_desktop
