#pragma once

#include "platform/Clock.h"
#include "platform/TimeZone.h"
#include "platform/Wording.h"
#include "platform/types/Signal.h"

#include <string>

namespace larkspire {

// The user's local calendar reading of a moment.
struct LocalTime {
    int year = 1970;
    unsigned month = 1;    // 1 … 12
    unsigned day = 1;      // 1 … 31
    unsigned weekday = 4;  // 0 = Sunday
    int hour = 0;
    int minute = 0;
};
LocalTime localTime(double wallTime, const TimeZone& zone);

// The moment the clock face shows; it moves only when the minute changes.
class ClockModel {
  public:
    ClockModel(Clock& clock, TimeZone& zone, const Wording& words = sourceWording())
        : clock(clock), zone(zone), words(words), moment(clock.wallTime()), shown(localTime(moment, zone)) {}

    void refresh();
    double now() const { return moment; }
    // `pattern` is one of "dd", "MMMM", "HH:mm", "EEEE"; the names in the shown language.
    std::string format(const std::string& pattern) const;
    [[nodiscard]] std::shared_ptr<void> observe(Signal::Handler handler) {
        return changed.observe(std::move(handler));
    }

  private:
    Clock& clock;
    TimeZone& zone;
    const Wording& words;
    double moment;
    LocalTime shown;  // `moment` on the calendar, read once when it is taken
    Signal changed;
};

}  // namespace larkspire
