#include "platform/linux/accessibility/FileManagerBridge.h"

#include <algorithm>

namespace larkspire::linux_desktop {

namespace {

// One node of the tree the badge walks. Every node but the application keeps the scene it was read
// from, so one pass never mixes two states of the file managers.
struct Element : UIElement {
    enum class Kind { application, window, scrollArea, outline, item };
    Kind kind = Kind::application;
    std::int32_t processIdentifier = 0;
    std::shared_ptr<const FileManagerScene> scene;
    std::size_t window = 0;  // in scene->fileManagerWindows
    std::size_t item = 0;    // in that window's items

    const SceneWindow& sceneWindow() const { return scene->fileManagerWindows[window]; }
};

UIElementRef element(Element::Kind kind, const Element& from, std::size_t window, std::size_t item = 0) {
    auto made = std::make_shared<Element>();
    made->kind = kind;
    made->processIdentifier = from.processIdentifier;
    made->scene = from.scene;
    made->window = window;
    made->item = item;
    return made;
}

AXResult found(AXValue value) {
    return AXResult{.value = std::move(value)};
}

AXResult unsupported() {
    return AXResult{.error = AXError::attributeUnsupported};
}

AXResult position(const Rect& r) {
    return found(AXValue(AXGeometry{.type = AXGeometry::Type::point, .first = r.x, .second = r.y}));
}

AXResult size(const Rect& r) {
    return found(AXValue(AXGeometry{.type = AXGeometry::Type::size, .first = r.width, .second = r.height}));
}

AXResult geometry(const std::string& attribute, const Rect& r) {
    if (attribute == "AXPosition") return position(r);
    if (attribute == "AXSize") return size(r);
    return unsupported();
}

}  // namespace

std::shared_ptr<FileManagerBridge> FileManagerBridge::create(MainQueue& main, DesktopWindows& desktop,
                                                             std::string bundleIdentifier) {
    auto bridge =
        std::shared_ptr<FileManagerBridge>(new FileManagerBridge(main, desktop, std::move(bundleIdentifier)));
    bridge->start();
    return bridge;
}

FileManagerBridge::FileManagerBridge(MainQueue& main, DesktopWindows& desktop, std::string bundleIdentifier)
    : main(main), desktop(desktop), bundleIdentifier(std::move(bundleIdentifier)) {}

void FileManagerBridge::start() {
    desktopActivations = desktop.observeActivations(weakly(weak_from_this(), [](FileManagerBridge& self) {
        self.current.reset();
        self.previous.reset();
        self.activations.notify();
    }));
}

void FileManagerBridge::setWindows(std::vector<FileManagerWindow> windows) {
    auto before = fileManagerProcesses();
    latest = std::move(windows);
    current.reset();
    previous.reset();
    // A file manager that starts or ends can change which application is in front.
    if (fileManagerProcesses() != before) activations.notify();
}

AccessibilityBusWatcher::ChangeHandler FileManagerBridge::changeHandler() {
    return main.bind(weak_from_this(), [](FileManagerBridge& self, std::vector<FileManagerWindow> windows) {
        self.setWindows(std::move(windows));
    });
}

void FileManagerBridge::followWanted(std::function<bool()> isWanted, std::function<void(bool)> apply) {
    wanted = std::move(isWanted);
    applyWanted = std::move(apply);
    lastWanted.reset();
}

std::shared_ptr<const FileManagerScene> FileManagerBridge::scene() const {
    if (current) return current;
    auto changes = desktop.changes();
    // Nothing was asked of the window system since, so nothing can have changed within this turn either.
    if (previous && changes && *changes == previousChanges) return previous;
    // Counted before the list is read: a change during the read is seen next time.
    previousChanges = changes.value_or(0);
    current = std::make_shared<const FileManagerScene>(
        FileManagerScene::match(latest, desktop.windows(), desktop.activeWindow()));
    previous = current;
    main.post(weakly(weak_from_this(), [](const FileManagerBridge& self) { self.current.reset(); }));
    return current;
}

std::set<std::int32_t> FileManagerBridge::fileManagerProcesses() const {
    std::set<std::int32_t> processes;
    for (const auto& window : latest) processes.insert(window.processIdentifier);
    return processes;
}

std::optional<std::int32_t> FileManagerBridge::activeProcess(const FileManagerScene& scene) const {
    if (!scene.activeWindow) return std::nullopt;
    for (const auto& window : scene.windows)
        if (window.number == *scene.activeWindow) return window.processIdentifier;
    return std::nullopt;
}

UIElementRef FileManagerBridge::application(std::int32_t processIdentifier) {
    auto made = std::make_shared<Element>();
    made->processIdentifier = processIdentifier;
    return made;
}

AXResult FileManagerBridge::copyAttributeValue(const UIElementRef& ref, const std::string& attribute) {
    const auto* e = dynamic_cast<const Element*>(ref.get());
    if (!e) return AXResult{.error = AXError::invalidUIElement};
    using Kind = Element::Kind;
    switch (e->kind) {
    case Kind::application: {
        if (attribute == "AXRole") return found(AXValue(std::string("AXApplication")));
        if (attribute != "AXWindows" && attribute != "AXFocusedWindow") return unsupported();
        Element current = *e;
        current.scene = scene();
        AXValue::List windows;
        for (std::size_t i = 0; i < current.scene->fileManagerWindows.size(); ++i) {
            const auto& window = current.scene->fileManagerWindows[i];
            if (window.processIdentifier != e->processIdentifier) continue;
            if (attribute == "AXFocusedWindow" && window.number == current.scene->activeWindow)
                return found(AXValue(element(Kind::window, current, i)));
            windows.push_back(AXValue(element(Kind::window, current, i)));
        }
        if (attribute == "AXFocusedWindow") return AXResult{.error = AXError::noValue};
        return found(AXValue(std::move(windows)));
    }
    case Kind::window: {
        const auto& window = e->sceneWindow();
        if (attribute == "AXRole") return found(AXValue(std::string("AXWindow")));
        if (attribute == "AXChildren") {
            AXValue::List children;
            if (window.viewport) children.push_back(AXValue(element(Kind::scrollArea, *e, e->window)));
            return found(AXValue(std::move(children)));
        }
        for (const auto& listed : e->scene->windows)
            if (listed.number == window.number) return geometry(attribute, listed.client);
        return unsupported();
    }
    case Kind::scrollArea: {
        if (attribute == "AXRole") return found(AXValue(std::string("AXScrollArea")));
        if (attribute == "AXChildren")
            return found(AXValue(AXValue::List{AXValue(element(Kind::outline, *e, e->window))}));
        if (attribute == "AXParent") return found(AXValue(element(Kind::window, *e, e->window)));
        return geometry(attribute, *e->sceneWindow().viewport);
    }
    case Kind::outline: {
        if (attribute == "AXRole") return found(AXValue(std::string("AXOutline")));
        if (attribute == "AXVisibleRows" || attribute == "AXChildren") {
            AXValue::List rows;
            rows.reserve(e->sceneWindow().items.size());
            for (std::size_t i = 0; i < e->sceneWindow().items.size(); ++i)
                rows.push_back(AXValue(element(Kind::item, *e, e->window, i)));
            return found(AXValue(std::move(rows)));
        }
        if (attribute == "AXParent") return found(AXValue(element(Kind::scrollArea, *e, e->window)));
        return geometry(attribute, *e->sceneWindow().viewport);
    }
    case Kind::item: {
        const auto& item = e->sceneWindow().items[e->item];
        if (attribute == "AXRole") return found(AXValue(std::string("AXRow")));
        if (attribute == "AXURL") return found(AXValue(item.url));
        if (attribute == "AXSelected") return found(AXValue(std::int64_t{item.selected}));
        if (attribute == "AXParent") return found(AXValue(element(Kind::outline, *e, e->window)));
        return geometry(attribute, item.extents);
    }
    }
    return unsupported();
}

std::vector<WindowInfo> FileManagerBridge::copyWindowInfo(std::uint32_t options) const {
    std::vector<WindowInfo> infos;
    for (const auto& window : scene()->windows) {
        if ((options & WindowListOption::onScreenOnly) && !window.onScreen) continue;
        if ((options & WindowListOption::excludeDesktopElements) && window.desktopElement) continue;
        infos.push_back(WindowInfo{.number = window.number,
                                   .ownerProcessIdentifier = window.processIdentifier,
                                   .layer = window.layer,
                                   .bounds = window.client});
    }
    return infos;
}

std::optional<std::uint32_t> FileManagerBridge::windowNumber(const UIElementRef& ref) const {
    const auto* e = dynamic_cast<const Element*>(ref.get());
    if (!e || e->kind != Element::Kind::window) return std::nullopt;
    return e->sceneWindow().number;
}

bool FileManagerBridge::isSameElement(const UIElementRef& first, const UIElementRef& second) const {
    const auto* a = dynamic_cast<const Element*>(first.get());
    const auto* b = dynamic_cast<const Element*>(second.get());
    if (!a || !b || a->kind != b->kind || a->processIdentifier != b->processIdentifier) return false;
    if (a->kind == Element::Kind::application) return true;
    if (a->sceneWindow().number != b->sceneWindow().number) return false;
    return a->kind != Element::Kind::item ||
           a->sceneWindow().items[a->item].url == b->sceneWindow().items[b->item].url;
}

std::optional<RunningApplication> FileManagerBridge::frontmostApplication() const {
    // The badge asks this first whenever it re-decides whether to run, so the bus is read only then.
    if (wanted && applyWanted) {
        bool now = wanted();
        if (lastWanted != now) {
            lastWanted = now;
            applyWanted(now);
        }
    }
    auto process = activeProcess(*scene());
    if (!process) return std::nullopt;
    RunningApplication front{.processIdentifier = *process};
    if (fileManagerProcesses().contains(*process)) front.bundleIdentifier = bundleIdentifier;
    return front;
}

std::vector<ApplicationState>
FileManagerBridge::runningApplicationsWithBundleIdentifier(const std::string& identifier) const {
    if (identifier != bundleIdentifier) return {};
    auto processes = fileManagerProcesses();
    auto now = scene();
    auto active = activeProcess(*now);
    // The active one first, then in the order their windows are stacked, then the rest.
    std::vector<std::int32_t> order;
    if (active && processes.contains(*active)) order.push_back(*active);
    for (const auto& window : now->windows)
        if (window.processIdentifier && processes.contains(*window.processIdentifier) &&
            std::find(order.begin(), order.end(), *window.processIdentifier) == order.end())
            order.push_back(*window.processIdentifier);
    for (auto process : processes)
        if (std::find(order.begin(), order.end(), process) == order.end()) order.push_back(process);

    std::vector<ApplicationState> states;
    for (auto process : order)
        states.push_back(ApplicationState{.processIdentifier = process, .isActive = process == active});
    return states;
}

std::shared_ptr<void> FileManagerBridge::observeActivations(std::function<void()> handler) {
    return activations.observe(std::move(handler));
}

}  // namespace larkspire::linux_desktop
