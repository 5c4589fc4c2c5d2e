#pragma once

#include "platform/TextMetrics.h"
#include "widgets/ClockModel.h"
#include "widgets/WidgetState.h"

namespace larkspire {

// The clock face: the day huge and faint, the month, time and weekday laid over it.
class ClockView : public WidgetContent {
  public:
    ClockView(ClockModel& clock, WidgetState& state, const TextMetrics& metrics)
        : clock(clock), state(state), metrics(metrics) {}
    RenderedView render() const override;
    std::vector<std::shared_ptr<void>> observe(Signal::Handler handler) override;

  private:
    ClockModel& clock;
    WidgetState& state;
    const TextMetrics& metrics;
};

}  // namespace larkspire
