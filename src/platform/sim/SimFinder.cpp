#include "platform/sim/SimFinder.h"

#include "platform/types/Url.h"

#include <algorithm>
#include <cmath>

namespace larkspire::sim {

std::vector<std::string> SimFinderWindow::selectedPaths() const {
    std::vector<std::string> paths;
    for (const auto& name : selection) paths.push_back((folder / name).string());
    return paths;
}

SimFinder::SimFinder(SimClipboard& clipboard, std::int32_t processIdentifier)
    : SimApplication("com.apple.finder", processIdentifier), clipboard(clipboard) {
    focusedRole = "AXOutline";
    menuBar = {
        SimMenu{"Apple", {SimMenuItem{.title = "Über diesen Mac"}}},
        SimMenu{"Finder",
                {SimMenuItem{.title = "Einstellungen …", .commandChar = ",", .commandModifiers = 0}}},
        SimMenu{"Ablage",
                {SimMenuItem{.title = "Neues Finder-Fenster", .commandChar = "N", .commandModifiers = 0},
                 SimMenuItem{.title = "Neuer Ordner", .commandChar = "N", .commandModifiers = 1}}},
        SimMenu{"Bearbeiten",
                {SimMenuItem{.title = "Widerrufen", .commandChar = "Z", .commandModifiers = 0},
                 // Files cannot be cut: the item is there but does nothing for them.
                 SimMenuItem{.title = "Ausschneiden", .commandChar = "X", .commandModifiers = 0},
                 SimMenuItem{.title = copyItem,
                             .commandChar = "C",
                             .commandModifiers = 0,
                             .action = [this] { copySelection(); }},
                 SimMenuItem{.title = pasteItem,
                             .commandChar = "V",
                             .commandModifiers = 0,
                             .action = [this] { pasteHere(false); }},
                 SimMenuItem{.title = moveItem,
                             .commandChar = "V",
                             .commandModifiers = 2,
                             .action = [this] { pasteHere(true); }},
                 SimMenuItem{.title = "Alles auswählen", .commandChar = "A", .commandModifiers = 0}}},
        SimMenu{"Darstellung",
                {SimMenuItem{.title = "Als Liste", .commandChar = "2", .commandModifiers = 0}}},
    };
}

SimFinderWindow& SimFinder::openWindow(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return openWindow(folder, std::move(names));
}

SimFinderWindow& SimFinder::openWindow(const std::filesystem::path& folder, std::vector<std::string> items) {
    // Each new window opens a little below and to the right of the one before.
    double offset = 22.0 * static_cast<double>(windows.size());
    windows.push_back(std::make_unique<SimFinderWindow>(nextWindowNumber++, folder, std::move(items)));
    windows.back()->moveTo(200 + offset, 150 + offset);
    return *windows.back();
}

void SimFinder::closeWindow(SimFinderWindow& window) {
    std::erase_if(windows, [&](const auto& open) { return open.get() == &window; });
}

SimFinderWindow* SimFinder::window(int number) const {
    for (const auto& open : windows)
        if (open->number == number) return open.get();
    return nullptr;
}

void SimFinder::bringToFront(SimFinderWindow& window) {
    auto found = std::find_if(windows.begin(), windows.end(), [&](auto& w) { return w.get() == &window; });
    if (found == windows.end()) return;
    auto moved = std::move(*found);
    windows.erase(found);
    windows.push_back(std::move(moved));
}

SimFinderWindow* SimFinder::frontWindow() {
    return windows.empty() ? nullptr : windows.back().get();
}

void SimFinder::copySelection() {
    auto* window = frontWindow();
    if (!window || window->selection.empty()) return;  // the item is greyed out without a selection
    clipboard.writeFiles(window->selectedPaths());
    ++copies;
}

void SimFinder::pasteHere(bool move) {
    auto* window = frontWindow();
    if (!window) return;
    for (const auto& path : clipboard.paths()) {
        std::filesystem::path source(path);
        auto target = window->folder / source.filename();
        std::error_code error;
        if (std::filesystem::exists(target, error) || !std::filesystem::exists(source, error)) continue;
        if (move) {
            std::filesystem::rename(source, target, error);
            if (!error) ++moves;
        } else {
            std::filesystem::copy(source, target, std::filesystem::copy_options::recursive, error);
            if (!error) ++pastes;
        }
    }
}

}  // namespace larkspire::sim

namespace larkspire::sim {

Rect SimFinderWindow::contentArea() const {
    return Rect{bounds.x, bounds.y + toolbarHeight, bounds.width,
                std::max(0.0, bounds.height - toolbarHeight)};
}

Rect SimFinderWindow::rowFrame(std::size_t row) const {
    auto area = contentArea();
    return Rect{area.x, area.y + static_cast<double>(row) * rowHeight - scrollOffset, area.width, rowHeight};
}

Rect SimFinderWindow::itemFrame(std::size_t row) const {
    auto frame = rowFrame(row);
    return Rect{frame.x + itemInset, frame.y + 1, std::min(240.0, std::max(0.0, frame.width - itemInset)),
                rowHeight - 2};
}

std::vector<std::size_t> SimFinderWindow::visibleRows() const {
    auto area = contentArea();
    double first = std::floor(std::max(0.0, scrollOffset) / rowHeight);
    double last = std::ceil((scrollOffset + area.height) / rowHeight);
    std::vector<std::size_t> rows;
    for (double row = first; row < last && row < static_cast<double>(items.size()); ++row)
        rows.push_back(static_cast<std::size_t>(row));
    return rows;
}

bool SimFinderWindow::isSelected(std::size_t row) const {
    return row < items.size() && std::find(selection.begin(), selection.end(), items[row]) != selection.end();
}

namespace {

AXResult geometry(AXGeometry::Type type, double first, double second) {
    return AXResult{.value = AXValue(AXGeometry{.type = type, .first = first, .second = second})};
}

AXResult frameAttribute(const std::string& name, const Rect& frame) {
    if (name == "AXPosition") return geometry(AXGeometry::Type::point, frame.x, frame.y);
    return geometry(AXGeometry::Type::size, frame.width, frame.height);
}

}  // namespace

AXError SimFinderElement::failure() const {
    auto* open = finder->window(window);
    return open ? open->failure : AXError::invalidUIElement;
}

double SimFinderElement::answerDelay() const {
    auto* open = finder->window(window);
    return open ? open->answerDelay : 0;
}

AXResult SimFinderElement::attribute(const std::string& name) const {
    auto* open = finder->window(window);
    if (!open) return AXResult{.error = AXError::invalidUIElement};
    auto make = [this](Part part, std::size_t row = 0) {
        auto child = std::make_shared<SimFinderElement>(*this);
        child->part = part;
        child->row = row;
        return AXValue(UIElementRef(std::move(child)));
    };
    auto rowList = [&](const std::vector<std::size_t>& rows) {
        AXValue::List list;
        list.reserve(rows.size());
        for (auto index : rows) list.push_back(make(Part::row, index));
        return AXResult{.value = AXValue(std::move(list))};
    };
    bool isFrame = name == "AXPosition" || name == "AXSize";
    bool isRow = part == Part::row || part == Part::cell || part == Part::item;
    if (isRow && row >= open->items.size()) return AXResult{.error = AXError::invalidUIElement};

    switch (part) {
    case Part::window:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXWindow"))};
        if (name == "AXChildren")
            return AXResult{.value = AXValue(AXValue::List{make(Part::toolbar), make(Part::scrollArea)})};
        if (isFrame) return frameAttribute(name, open->bounds);
        break;
    case Part::toolbar:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXToolbar"))};
        if (name == "AXChildren") return AXResult{.value = AXValue(AXValue::List{})};
        break;
    case Part::scrollArea:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXScrollArea"))};
        if (name == "AXChildren")
            return AXResult{.value = AXValue(AXValue::List{make(Part::outline), make(Part::scrollBar)})};
        if (isFrame) return frameAttribute(name, open->contentArea());
        break;
    case Part::scrollBar:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXScrollBar"))};
        break;
    case Part::outline: {
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXOutline"))};
        if (name == "AXVisibleRows") {
            if (!open->visibleRowsReadable) return AXResult{.error = AXError::attributeUnsupported};
            return rowList(open->visibleRows());
        }
        if (name == "AXChildren") {
            std::vector<std::size_t> all(open->items.size());
            for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
            return rowList(all);
        }
        break;
    }
    case Part::row:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXRow"))};
        if (name == "AXChildren") return AXResult{.value = AXValue(AXValue::List{make(Part::cell, row)})};
        if (name == "AXSelected") return AXResult{.value = AXValue(std::int64_t{open->isSelected(row)})};
        if (name == "AXParent") return AXResult{.value = make(Part::outline)};
        if (isFrame) return frameAttribute(name, open->rowFrame(row));
        break;
    case Part::cell:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXCell"))};
        if (name == "AXChildren") return AXResult{.value = AXValue(AXValue::List{make(Part::item, row)})};
        if (name == "AXParent") return AXResult{.value = make(Part::row, row)};
        if (isFrame) return frameAttribute(name, open->rowFrame(row));
        break;
    case Part::item:
        if (name == "AXRole") return AXResult{.value = AXValue(std::string("AXTextField"))};
        if (name == "AXURL")
            return AXResult{.value =
                                AXValue(Url::fileUrl((open->folder / open->items[row]).string()).string())};
        if (name == "AXSelected") return AXResult{.value = AXValue(std::int64_t{open->isSelected(row)})};
        if (name == "AXParent") return AXResult{.value = make(Part::cell, row)};
        if (isFrame) return frameAttribute(name, open->itemFrame(row));
        break;
    }
    return AXResult{.error = AXError::attributeUnsupported};
}

std::optional<AXResult> SimFinder::applicationAttribute(const std::string& attribute, double timeout) const {
    auto make = [this, timeout](const SimFinderWindow& open) {
        auto element = std::make_shared<SimFinderElement>();
        element->processIdentifier = processIdentifier;
        element->timeout = timeout;
        element->finder = this;
        element->window = open.number;
        return AXValue(UIElementRef(std::move(element)));
    };
    if (attribute == "AXWindows") {
        AXValue::List list;
        // Front to back, as the window list orders them.
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) list.push_back(make(**it));
        return AXResult{.value = AXValue(std::move(list))};
    }
    if (attribute == "AXFocusedWindow") {
        if (windows.empty() || !focusedWindowReadable) return AXResult{.error = AXError::noValue};
        return AXResult{.value = make(*windows.back())};
    }
    return std::nullopt;
}

}  // namespace larkspire::sim
