#pragma once

#include "platform/TextMetrics.h"
#include "platform/Wording.h"
#include "stats/SystemStats.h"
#include "widgets/WidgetState.h"

namespace larkspire {

// The system monitor's face: a CPU pill with a bar per CPU, the temperature, a memory gauge.
class SystemMonitorView : public WidgetContent {
  public:
    SystemMonitorView(SystemStats& stats, WidgetState& state, const TextMetrics& metrics,
                      const Wording& words = sourceWording())
        : stats(stats), state(state), metrics(metrics), words(words) {}
    RenderedView render() const override;
    std::vector<std::shared_ptr<void>> observe(Signal::Handler handler) override;

    static Color temperatureColor(double celsius);

  private:
    SystemStats& stats;
    WidgetState& state;
    const TextMetrics& metrics;
    const Wording& words;
};

}  // namespace larkspire
