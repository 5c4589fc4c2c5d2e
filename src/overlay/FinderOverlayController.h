#pragma once

#include "overlay/OverlayWindow.h"
#include "overlay/SizeCalculator.h"
#include "platform/Accessibility.h"
#include "platform/DefaultsStore.h"
#include "platform/FolderSizes.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/OverlaySurfaces.h"
#include "platform/RunningApplications.h"
#include "platform/TextMetrics.h"
#include "platform/UIElements.h"
#include "platform/WindowServer.h"
#include "platform/Wording.h"
#include "platform/WorkQueue.h"
#include "platform/WorkspaceApplications.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace larkspire {

struct Ports;

struct FinderOverlayPorts {
    MainQueue& main;
    Clock& clock;
    WorkQueue& work;
    DefaultsStore& defaults;
    Accessibility& accessibility;
    Log& log;
    RunningApplications& runningApplications;
    WorkspaceApplications& workspaceApplications;
    UIElements& uiElements;
    WindowServer& windowServer;
    OverlaySurfaces& overlaySurfaces;
    TextMetrics& textMetrics;
    const FolderSizes& folderSizes;
    const Wording& wording;

    static FinderOverlayPorts from(const Ports& ports);  // its share of the application's ports
};

// Decorates the file manager's windows from outside: the selection-size badge in the focused
// window and greyed cut items in every visible one. Main thread only.
class FinderOverlayController : public std::enable_shared_from_this<FinderOverlayController> {
  public:
    static constexpr const char* finderBundleIdentifier = "com.apple.finder";
    static constexpr double refreshInterval = 0.12;
    static constexpr double messagingTimeout = 0.2;
    static constexpr int maximumDepth = 13;
    static constexpr std::size_t pathCacheLimit = 5000;
    // Bounds one window's walk even when its element tree loops back on itself with many children.
    static constexpr int maximumElementsPerWindow = 20000;
    static constexpr const char* computingText = sourceText("Auswahl: wird berechnet …");
    static constexpr const char* labelPrefix = "Auswahl: ";

    // What one pass read from one window, in global coordinates (origin top-left, y downward).
    struct Scan {
        Rect windowFrame;
        std::vector<Rect> cutRects;
        std::vector<std::vector<std::string>> selectionByContainer;
        std::optional<Rect> contentArea;
        int elementsVisited = 0;
    };

    static std::shared_ptr<FinderOverlayController> create(FinderOverlayPorts ports);

    void start();
    void updateTimer();
    void setCutPaths(const std::vector<std::string>& paths);
    void refresh();

    bool isActive() const { return timer.has_value(); }
    const std::map<std::uint32_t, std::unique_ptr<OverlayWindow>>& overlayWindows() const { return overlays; }
    const SizeCalculator& sizeCalculator() const { return *sizes; }
    std::size_t pathCacheSize() const { return pathCache.size(); }

  private:
    explicit FinderOverlayController(FinderOverlayPorts ports);

    void hideAll();
    std::optional<OverlayLabel> badgeLabel(const Scan& scan);
    void logLabel(const std::optional<OverlayLabel>& label);
    void collect(const UIElementRef& element, Rect clip, int container, Scan& scan, int depth);
    std::optional<std::string> resolve(const std::string& url);
    std::optional<Rect> frame(const UIElementRef& element);
    std::optional<Rect> itemFrame(const UIElementRef& item);
    std::optional<UIElementRef> elementAttribute(const UIElementRef& element, const char* attribute);
    std::optional<std::string> stringAttribute(const UIElementRef& element, const char* attribute);
    std::optional<std::vector<UIElementRef>> elementList(const UIElementRef& element, const char* attribute);

    FinderOverlayPorts ports;
    std::optional<RepeatingTimer> timer;
    std::map<std::uint32_t, std::unique_ptr<OverlayWindow>> overlays;
    std::set<std::string> cutPaths;
    std::map<std::string, std::string> pathCache;
    Logger log;
    std::optional<std::string> lastLabelText;
    std::shared_ptr<SizeCalculator> sizes;
    std::shared_ptr<void> activationObservation;
};

}  // namespace larkspire
