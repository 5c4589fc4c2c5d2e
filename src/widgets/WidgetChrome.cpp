#include "widgets/WidgetChrome.h"

namespace larkspire {

RenderedView WidgetChrome::render() const {
    auto inner = content->render();
    RenderedView view{.width = inner.width + 2 * margin, .height = inner.height + 2 * margin};
    DisplayGroup face{.offset = Point{margin, margin}};
    face.items = std::move(inner.items);
    view.items.push_back(std::move(face));
    if (state.isEditing()) {
        // Drawn inside the bounds: the stroke's outer edge touches them.
        view.items.push_back(RoundedRect{.rect = {1, 1, view.width - 2, view.height - 2},
                                         .cornerRadius = 10,
                                         .stroke = accent,
                                         .strokeWidth = 2,
                                         .dashPattern = {6, 4}});
    }
    return view;
}

std::vector<std::shared_ptr<void>> WidgetChrome::observe(Signal::Handler handler) {
    auto observations = content->observe(handler);
    observations.push_back(state.observeEditing(handler));
    return observations;
}

}  // namespace larkspire
