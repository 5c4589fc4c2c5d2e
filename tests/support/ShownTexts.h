#pragma once

#include "platform/Wording.h"
#include "platform/sim/Desktop.h"

#include <set>
#include <string>

namespace larkspire::testing {

// Records every German text a desktop's wording is asked for, beside what it answers.
class RecordingWording final : public Wording {
  public:
    explicit RecordingWording(const Wording& words) : words(words) {}
    std::string shown(const std::string& german) const override {
        asked.insert(german);
        return words.shown(german);
    }
    NumberMarks numberMarks() const override { return words.numberMarks(); }
    mutable std::set<std::string> asked;

  private:
    const Wording& words;
};

// Every text the application shows through `words`: each settings tab in the states that change
// it, the tab names, the status icon and menu, the alerts, the badge and the widget faces.
std::set<std::string> everyShownText(const Wording& words);

}  // namespace larkspire::testing
