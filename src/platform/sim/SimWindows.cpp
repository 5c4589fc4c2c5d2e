#include "platform/sim/SimWindows.h"

namespace larkspire::sim {

std::vector<WindowInfo> SimWindowServer::copyWindowInfo(std::uint32_t options) const {
    ++listings;
    std::vector<WindowInfo> list;
    const auto& windows = finder->allWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto& window = **it;
        if ((options & WindowListOption::onScreenOnly) && !window.onScreen) continue;
        if (finder->hidden) continue;
        list.push_back(WindowInfo{.number = static_cast<std::uint32_t>(window.number),
                                  .ownerProcessIdentifier = finder->processIdentifier,
                                  .layer = window.layer,
                                  .bounds = window.bounds});
    }
    list.insert(list.end(), otherWindows.begin(), otherWindows.end());
    return list;
}

std::optional<std::uint32_t> SimWindowServer::windowNumber(const UIElementRef& window) const {
    auto element = dynamic_cast<const SimFinderElement*>(window.get());
    if (!element || element->part != SimFinderElement::Part::window) return std::nullopt;
    auto* open = finder->window(element->window);
    if (!open || !open->hasNumber) return std::nullopt;
    return static_cast<std::uint32_t>(open->number);
}

bool SimWindowServer::isSameElement(const UIElementRef& first, const UIElementRef& second) const {
    auto a = dynamic_cast<const SimFinderElement*>(first.get());
    auto b = dynamic_cast<const SimFinderElement*>(second.get());
    return a && b && *a == *b;
}

// The surface handed out keeps the recorded one alive for tests after the feature drops it.
class SimOverlaySurfaces::Handle : public OverlaySurface {
  public:
    explicit Handle(std::shared_ptr<SimOverlaySurface> surface) : surface(std::move(surface)) {}
    Rect frame() const override { return surface->frame(); }
    void setFrame(const Rect& frame) override { surface->setFrame(frame); }
    void orderAbove(std::uint32_t windowNumber) override { surface->orderAbove(windowNumber); }
    void orderOut() override { surface->orderOut(); }
    void display(DisplayList content) override { surface->display(std::move(content)); }

  private:
    std::shared_ptr<SimOverlaySurface> surface;
};

std::unique_ptr<OverlaySurface> SimOverlaySurfaces::create() {
    created.push_back(std::make_shared<SimOverlaySurface>());
    return std::make_unique<Handle>(created.back());
}

OverlayColors SimOverlaySurfaces::colors() const {
    return OverlayColors{.windowBackground = {0.925, 0.925, 0.925, 1},
                         .separator = {0, 0, 0, 0.1},
                         .secondaryLabel = {0, 0, 0, 0.5}};
}

std::vector<SimOverlaySurface*> SimOverlaySurfaces::visible() const {
    std::vector<SimOverlaySurface*> shown;
    for (const auto& surface : created)
        if (surface->visible) shown.push_back(surface.get());
    return shown;
}

void SimFileTree::addFile(const std::string& path, std::int64_t size) {
    std::lock_guard lock(mutex);
    files[path] = size;
}

void SimFileTree::remove(const std::string& path) {
    std::lock_guard lock(mutex);
    files.erase(path);
    std::erase_if(files, [&](const auto& entry) { return entry.first.starts_with(path + "/"); });
}

std::int64_t SimFileTree::sizeAtPath(const std::string& path) const {
    ++walks;
    std::lock_guard lock(mutex);
    if (auto file = files.find(path); file != files.end()) return file->second;
    std::int64_t sum = 0;
    std::string prefix = path + "/";
    for (auto it = files.lower_bound(prefix); it != files.end() && it->first.starts_with(prefix); ++it)
        sum += it->second;
    return sum;
}

}  // namespace larkspire::sim
