#pragma once

#include "platform/types/DisplayList.h"
#include "platform/types/Signal.h"

#include <memory>

namespace larkspire {

// Scale and arrangement mode of one widget; observers hear every assignment.
class WidgetState {
  public:
    explicit WidgetState(double scale) : scaleValue(scale) {}

    double scale() const { return scaleValue; }
    bool isEditing() const { return editing; }
    void setScale(double value) {
        scaleValue = value;
        scaleChanged.notify();
    }
    void setEditing(bool value) {
        editing = value;
        editingChanged.notify();
    }
    [[nodiscard]] std::shared_ptr<void> observeScale(Signal::Handler handler) {
        return scaleChanged.observe(std::move(handler));
    }
    [[nodiscard]] std::shared_ptr<void> observeEditing(Signal::Handler handler) {
        return editingChanged.observe(std::move(handler));
    }

  private:
    double scaleValue;
    bool editing = false;
    Signal scaleChanged;
    Signal editingChanged;
};

// A face drawn at its ideal size, in its own top-left coordinates.
struct RenderedView {
    DisplayList items;
    double width = 0;
    double height = 0;
};

// The content of a widget window: a function of observed state.
class WidgetContent {
  public:
    virtual ~WidgetContent() = default;
    virtual RenderedView render() const = 0;
    // Called on every assignment of a value the content shows.
    [[nodiscard]] virtual std::vector<std::shared_ptr<void>> observe(Signal::Handler handler) = 0;
};

}  // namespace larkspire
