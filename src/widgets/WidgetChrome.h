#pragma once

#include "widgets/WidgetState.h"

#include <memory>

namespace larkspire {

// Wraps a face with its margin and, while arranging, the dashed accent outline.
class WidgetChrome : public WidgetContent {
  public:
    static constexpr double margin = 3;

    WidgetChrome(std::unique_ptr<WidgetContent> content, WidgetState& state, Color accent)
        : content(std::move(content)), state(state), accent(accent) {}
    RenderedView render() const override;
    std::vector<std::shared_ptr<void>> observe(Signal::Handler handler) override;

  private:
    std::unique_ptr<WidgetContent> content;
    WidgetState& state;
    Color accent;
};

}  // namespace larkspire
