#include "overlay/FinderOverlayController.h"

#include "cutpaste/CutPasteMonitor.h"
#include "overlay/ByteCountFormatter.h"
#include "overlay/OverlaySettings.h"
#include "platform/Ports.h"
#include "platform/types/Url.h"

#include <algorithm>
#include <cmath>

namespace larkspire {

FinderOverlayPorts FinderOverlayPorts::from(const Ports& ports) {
    return FinderOverlayPorts{
        .main = ports.main,
        .clock = ports.clock,
        .work = ports.work,
        .defaults = ports.defaults,
        .accessibility = ports.accessibility,
        .log = ports.log,
        .runningApplications = ports.runningApplications,
        .workspaceApplications = ports.workspaceApplications,
        .uiElements = ports.uiElements,
        .windowServer = ports.windowServer,
        .overlaySurfaces = ports.overlaySurfaces,
        .textMetrics = ports.textMetrics,
        .folderSizes = ports.folderSizes,
        .wording = ports.wording,
    };
}

namespace {

// Negative widths and heights turn into positive ones, as the window system reads rectangles.
Rect standardized(Rect r) {
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

// The common part of two rectangles; nothing when they do not meet or one is not a number.
std::optional<Rect> intersection(Rect a, Rect b) {
    if (!a.isFinite() || !b.isFinite()) return std::nullopt;
    a = standardized(a);
    b = standardized(b);
    double minX = std::max(a.x, b.x), minY = std::max(a.y, b.y);
    double maxX = std::min(a.x + a.width, b.x + b.width), maxY = std::min(a.y + a.height, b.y + b.height);
    if (maxX < minX || maxY < minY) return std::nullopt;
    return Rect{minX, minY, maxX - minX, maxY - minY};
}

}  // namespace

std::shared_ptr<FinderOverlayController> FinderOverlayController::create(FinderOverlayPorts ports) {
    return std::shared_ptr<FinderOverlayController>(new FinderOverlayController(ports));
}

FinderOverlayController::FinderOverlayController(FinderOverlayPorts ports)
    : ports(ports), log(ports.log, "overlay"),
      sizes(std::make_shared<SizeCalculator>(SizeCalculatorPorts{
          .main = ports.main, .clock = ports.clock, .work = ports.work, .folderSizes = ports.folderSizes})) {}

void FinderOverlayController::start() {
    auto weak = weak_from_this();
    activationObservation = ports.workspaceApplications.observeActivations(
        weakly(weak, [](FinderOverlayController& self) { self.updateTimer(); }));
    sizes->onUpdate = weakly(weak, [](FinderOverlayController& self) { self.refresh(); });
    updateTimer();
}

void FinderOverlayController::updateTimer() {
    auto front = ports.runningApplications.frontmostApplication();
    bool finderFrontmost =
        front && front->bundleIdentifier == std::optional<std::string>(finderBundleIdentifier);
    // Where reading the file manager needs no permission, the badge does not wait for one.
    bool mayRead = !ports.uiElements.needsPermission() || ports.accessibility.isTrusted();
    bool active = mayRead && (!cutPaths.empty() ||
                              (finderFrontmost && ports.defaults.boolForKey(Settings::selectionSizeKey)));
    if (active) {
        if (!timer)
            timer = ports.main.scheduleRepeating(
                refreshInterval,
                weakly(weak_from_this(), [](FinderOverlayController& self) { self.refresh(); }));
    } else {
        timer.reset();
    }
    refresh();
}

void FinderOverlayController::setCutPaths(const std::vector<std::string>& paths) {
    cutPaths = std::set<std::string>(paths.begin(), paths.end());
    pathCache.clear();
    updateTimer();
}

void FinderOverlayController::refresh() {
    if (!timer) return hideAll();
    auto finders =
        ports.workspaceApplications.runningApplicationsWithBundleIdentifier(finderBundleIdentifier);
    if (finders.empty() || finders.front().isHidden) return hideAll();
    const auto& finder = finders.front();

    std::map<std::uint32_t, Rect> bounds;
    for (const auto& info : ports.windowServer.copyWindowInfo(WindowListOption::onScreenOnly |
                                                              WindowListOption::excludeDesktopElements)) {
        if (!info.number || !info.ownerProcessIdentifier || !info.layer || !info.bounds) continue;
        // A window whose bounds are not numbers cannot be covered.
        if (*info.ownerProcessIdentifier != finder.processIdentifier || *info.layer != 0 ||
            !info.bounds->isFinite())
            continue;
        bounds.emplace(*info.number, *info.bounds);
    }

    auto& ui = ports.uiElements;
    auto application = ui.application(finder.processIdentifier);
    ui.setMessagingTimeout(application, messagingTimeout);

    std::optional<UIElementRef> focusedWindow;
    if (finder.isActive && ports.defaults.boolForKey(Settings::selectionSizeKey))
        focusedWindow = elementAttribute(application, "AXFocusedWindow");

    auto windows = elementList(application, "AXWindows").value_or(std::vector<UIElementRef>{});
    std::set<std::uint32_t> seen;
    double primaryHeight = ports.windowServer.primaryScreenHeight();
    auto colors = ports.overlaySurfaces.colors();
    bool labelled = false;
    for (const auto& window : windows) {
        auto number = ports.windowServer.windowNumber(window);
        if (!number) continue;
        auto found = bounds.find(*number);
        if (found == bounds.end()) continue;
        const Rect windowFrame = found->second;

        Scan scan{.windowFrame = windowFrame};
        collect(window, windowFrame, -1, scan, 0);

        std::optional<OverlayLabel> label;
        if (focusedWindow && ports.windowServer.isSameElement(*focusedWindow, window)) {
            label = badgeLabel(scan);
            logLabel(label);
            labelled = true;
        }
        if (scan.cutRects.empty() && !label) continue;

        auto& overlay = overlays[*number];
        if (!overlay) overlay = std::make_unique<OverlayWindow>(ports.overlaySurfaces.create());
        Rect target{windowFrame.x, primaryHeight - (windowFrame.y + windowFrame.height), windowFrame.width,
                    windowFrame.height};
        auto current = overlay->frame();
        if (current != target) {
            overlay->setFrame(target);
            // The view is drawn from its top edge, so a new height moves everything in it.
            if (current.height != target.height) overlay->overlayView.needsDisplay = true;
        }

        auto toView = [&windowFrame](const Rect& r) {
            return Rect{r.x - windowFrame.x, (windowFrame.y + windowFrame.height) - (r.y + r.height), r.width,
                        r.height};
        };
        auto& view = overlay->overlayView;
        std::vector<Rect> rects;
        rects.reserve(scan.cutRects.size());
        for (const auto& rect : scan.cutRects) rects.push_back(toView(rect));
        if (rects != view.rects) {
            view.rects = std::move(rects);
            view.needsDisplay = true;
        }
        if (label) label->rect = toView(label->rect);
        if (label != view.label) {
            view.label = std::move(label);
            view.needsDisplay = true;
        }
        overlay->displayIfNeeded(colors, ports.textMetrics);
        overlay->orderAbove(*number);
        seen.insert(*number);
    }

    for (auto it = overlays.begin(); it != overlays.end();) {
        if (seen.contains(it->first)) {
            ++it;
            continue;
        }
        it->second->orderOut();
        it = overlays.erase(it);
    }
    // The focused window gone from view takes its badge along.
    if (!labelled) logLabel(std::nullopt);
}

void FinderOverlayController::hideAll() {
    for (auto& [number, overlay] : overlays) overlay->orderOut();
    overlays.clear();
    logLabel(std::nullopt);
}

std::optional<OverlayLabel> FinderOverlayController::badgeLabel(const Scan& scan) {
    auto selection = std::find_if(scan.selectionByContainer.rbegin(), scan.selectionByContainer.rend(),
                                  [](const auto& paths) { return !paths.empty(); });
    if (selection == scan.selectionByContainer.rend() || !scan.contentArea) return std::nullopt;
    auto size = sizes->total(*selection);
    auto& words = ports.wording;
    std::string text = size ? filled(words.shown("Auswahl: %1"), {stringFromByteCount(*size, words)})
                            : words.shown(computingText);
    const Rect& area = *scan.contentArea;
    double textWidth = ports.textMetrics.measure(text, OverlayLabel::font).width;
    return OverlayLabel{
        .text = std::move(text),
        .rect = Rect{area.x + 10, area.y + area.height - 32, std::min(area.width - 20, textWidth + 20), 22},
        .isPill = true};
}

void FinderOverlayController::logLabel(const std::optional<OverlayLabel>& label) {
    std::optional<std::string> text;
    if (label) text = label->text;
    if (text == lastLabelText) return;
    lastLabelText = text;
    log.info("Auswahl-Schild: " + text.value_or("–"));
}

void FinderOverlayController::collect(const UIElementRef& element, Rect clip, int container, Scan& scan,
                                      int depth) {
    if (depth > maximumDepth) return;
    if (++scan.elementsVisited > maximumElementsPerWindow) return;
    auto& ui = ports.uiElements;

    if (auto url = stringAttribute(element, "AXURL")) {
        auto path = resolve(*url);
        if (!path) return;
        if (cutPaths.contains(*path)) {
            if (auto itemRect = itemFrame(element)) {
                auto clipped = intersection(*itemRect, clip);
                if (clipped && clipped->width > 0 && clipped->height > 0) scan.cutRects.push_back(*clipped);
            }
        }
        if (container >= 0) {
            auto selected = ui.copyAttributeValue(element, "AXSelected");
            const auto* flag = selected.error == AXError::success ? selected.value.integer() : nullptr;
            if (flag && *flag != 0) {
                scan.selectionByContainer[static_cast<std::size_t>(container)].push_back(*path);
                scan.contentArea = clip;
                return;
            }
        }
        if (!scan.contentArea) scan.contentArea = clip;
        return;
    }

    auto role = stringAttribute(element, "AXRole").value_or("");
    std::optional<std::vector<UIElementRef>> children;
    if (role == "AXScrollArea") {
        if (auto own = frame(element)) {
            // A scroll area outside its window leaves nothing visible inside it.
            auto clipped = intersection(clip, *own);
            clip = clipped.value_or(Rect{clip.x, clip.y, 0, 0});
        }
        children = elementList(element, "AXChildren");
    } else if (role == "AXOutline" || role == "AXTable" || role == "AXList") {
        scan.selectionByContainer.emplace_back();
        container = static_cast<int>(scan.selectionByContainer.size()) - 1;
        children = elementList(element, role == "AXList" ? "AXVisibleChildren" : "AXVisibleRows");
        if (!children) children = elementList(element, "AXChildren");
    } else if (role == "AXToolbar" || role == "AXButton" || role == "AXScrollBar" || role == "AXImage" ||
               role == "AXStaticText") {
        return;
    } else {
        children = elementList(element, "AXChildren");
    }
    if (!children) return;
    for (const auto& child : *children) collect(child, clip, container, scan, depth + 1);
}

std::optional<std::string> FinderOverlayController::resolve(const std::string& url) {
    if (auto cached = pathCache.find(url); cached != pathCache.end()) return cached->second;
    auto parsed = Url::parse(url);
    // Only plain file URLs with an absolute path name a file here.
    if (!parsed || !parsed->isFileUrl() || parsed->path().empty() || parsed->path().front() != '/' ||
        parsed->path().find('\0') != std::string::npos)
        return std::nullopt;
    auto path = standardizedPath(parsed->path());
    if (pathCache.size() > pathCacheLimit) pathCache.clear();
    pathCache.emplace(url, path);
    return path;
}

std::optional<Rect> FinderOverlayController::frame(const UIElementRef& element) {
    auto position = ports.uiElements.copyAttributeValue(element, "AXPosition");
    auto size = ports.uiElements.copyAttributeValue(element, "AXSize");
    if (position.error != AXError::success || size.error != AXError::success) return std::nullopt;
    const auto* point = position.value.geometry();
    const auto* extent = size.value.geometry();
    if (!point || point->type != AXGeometry::Type::point || !extent || extent->type != AXGeometry::Type::size)
        return std::nullopt;
    return Rect{point->first, point->second, extent->first, extent->second};
}

std::optional<Rect> FinderOverlayController::itemFrame(const UIElementRef& item) {
    auto parent = elementAttribute(item, "AXParent");
    if (!parent) return frame(item);
    auto role = stringAttribute(*parent, "AXRole");
    if (!role) return frame(item);
    if (*role == "AXCell") {
        auto row = elementAttribute(*parent, "AXParent");
        return row ? frame(*row) : frame(*parent);
    }
    if (*role == "AXGroup") return frame(*parent);
    return frame(item);
}

std::optional<UIElementRef> FinderOverlayController::elementAttribute(const UIElementRef& element,
                                                                      const char* attribute) {
    auto result = ports.uiElements.copyAttributeValue(element, attribute);
    if (result.error != AXError::success) return std::nullopt;
    const auto* value = result.value.element();
    if (!value || !*value) return std::nullopt;
    return *value;
}

std::optional<std::string> FinderOverlayController::stringAttribute(const UIElementRef& element,
                                                                    const char* attribute) {
    auto result = ports.uiElements.copyAttributeValue(element, attribute);
    if (result.error != AXError::success) return std::nullopt;
    const auto* value = result.value.string();
    if (!value) return std::nullopt;
    return *value;
}

std::optional<std::vector<UIElementRef>> FinderOverlayController::elementList(const UIElementRef& element,
                                                                              const char* attribute) {
    auto result = ports.uiElements.copyAttributeValue(element, attribute);
    if (result.error != AXError::success) return std::nullopt;
    const auto* list = result.value.list();
    if (!list) return std::nullopt;
    std::vector<UIElementRef> elements;
    elements.reserve(list->size());
    for (const auto& value : *list)
        if (const auto* child = value.element(); child && *child) elements.push_back(*child);
    return elements;
}

}  // namespace larkspire
