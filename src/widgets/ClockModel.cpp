#include "widgets/ClockModel.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace larkspire {

namespace {

constexpr const char* monthNames[] = {sourceText("Januar"),  sourceText("Februar"),  sourceText("März"),
                                      sourceText("April"),   sourceText("Mai"),      sourceText("Juni"),
                                      sourceText("Juli"),    sourceText("August"),   sourceText("September"),
                                      sourceText("Oktober"), sourceText("November"), sourceText("Dezember")};
constexpr const char* weekdayNames[] = {
    sourceText("Sonntag"),    sourceText("Montag"),  sourceText("Dienstag"), sourceText("Mittwoch"),
    sourceText("Donnerstag"), sourceText("Freitag"), sourceText("Samstag")};

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

LocalTime localTime(double wallTime, const TimeZone& zone) {
    using namespace std::chrono;
    double local = wallTime + zone.secondsFromGmt(wallTime);
    // A clock far outside the calendar's range shows the epoch rather than overflowing.
    if (!std::isfinite(local) || std::fabs(local) > 1e12) local = 0;
    auto seconds = static_cast<long long>(std::floor(local));
    auto days = sys_days{duration_cast<std::chrono::days>(
        std::chrono::seconds{seconds - ((seconds % 86400) + 86400) % 86400})};
    year_month_day date{days};
    long long ofDay = ((seconds % 86400) + 86400) % 86400;
    return LocalTime{.year = static_cast<int>(date.year()),
                     .month = static_cast<unsigned>(date.month()),
                     .day = static_cast<unsigned>(date.day()),
                     .weekday = weekday{days}.c_encoding(),
                     .hour = static_cast<int>(ofDay / 3600),
                     .minute = static_cast<int>(ofDay / 60 % 60)};
}

void ClockModel::refresh() {
    double t = clock.wallTime();
    auto next = localTime(t, zone);
    if (next.minute == shown.minute && next.hour == shown.hour && next.day == shown.day) return;
    moment = t;
    shown = next;
    changed.notify();
}

std::string ClockModel::format(const std::string& pattern) const {
    if (pattern == "dd") return twoDigits(static_cast<int>(shown.day));
    if (pattern == "MMMM") return words.shown(monthNames[(shown.month - 1) % 12]);
    if (pattern == "HH:mm") return twoDigits(shown.hour) + ":" + twoDigits(shown.minute);
    if (pattern == "EEEE") return words.shown(weekdayNames[shown.weekday % 7]);
    return {};
}

}  // namespace larkspire
