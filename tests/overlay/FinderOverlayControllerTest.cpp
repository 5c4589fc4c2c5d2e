#include "overlay/FinderOverlayController.h"

#include "platform/sim/Desktop.h"

#include <cmath>
#include <deque>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

// A file manager's element tree built by hand, so it can be deeper than any real one, loop back
// on itself or report rectangles that are not numbers.
struct Node : UIElement {
    std::map<std::string, AXValue> attributes;
    std::vector<const Node*> children;
};

class HandBuiltFileManager : public UIElements, public WindowServer, public WorkspaceApplications {
  public:
    static constexpr std::int32_t pid = 77;

    Node& node(std::string role) {
        auto& made = nodes.emplace_back();
        made.attributes["AXRole"] = AXValue(std::move(role));
        return made;
    }
    Node& item(const std::string& path, bool selected, Rect frame) {
        auto& made = node("AXTextField");
        made.attributes["AXURL"] = AXValue("file://" + path);
        made.attributes["AXSelected"] = AXValue(std::int64_t{selected});
        setFrame(made, frame);
        return made;
    }
    static void setFrame(Node& node, Rect r) {
        node.attributes["AXPosition"] =
            AXValue(AXGeometry{.type = AXGeometry::Type::point, .first = r.x, .second = r.y});
        node.attributes["AXSize"] =
            AXValue(AXGeometry{.type = AXGeometry::Type::size, .first = r.width, .second = r.height});
    }
    static UIElementRef ref(const Node& node) { return UIElementRef(std::shared_ptr<void>(), &node); }
    void addWindow(const Node& window, Rect bounds) { windows.push_back({&window, bounds}); }

    UIElementRef application(std::int32_t) override { return ref(applicationNode); }
    void setMessagingTimeout(const UIElementRef&, double) override {}
    AXResult copyAttributeValue(const UIElementRef& element, const std::string& attribute) override {
        ++reads;
        auto* found = dynamic_cast<const Node*>(element.get());
        if (found == &applicationNode) {
            AXValue::List list;
            for (const auto& window : windows) list.push_back(AXValue(ref(*window.first)));
            if (attribute == "AXWindows") return AXResult{.value = AXValue(list)};
            if (attribute == "AXFocusedWindow" && !windows.empty()) return AXResult{.value = list.front()};
            return AXResult{.error = AXError::noValue};
        }
        if (attribute == "AXChildren" || attribute == "AXVisibleRows") {
            AXValue::List list;
            for (auto* child : found->children) list.push_back(AXValue(ref(*child)));
            return AXResult{.value = AXValue(list)};
        }
        auto value = found->attributes.find(attribute);
        if (value == found->attributes.end()) return AXResult{.error = AXError::attributeUnsupported};
        return AXResult{.value = value->second};
    }
    AXError performAction(const UIElementRef&, const std::string&) override {
        return AXError::actionUnsupported;
    }

    std::vector<WindowInfo> copyWindowInfo(std::uint32_t) const override {
        std::vector<WindowInfo> list;
        for (std::size_t i = 0; i < windows.size(); ++i)
            list.push_back(WindowInfo{.number = static_cast<std::uint32_t>(i + 1),
                                      .ownerProcessIdentifier = pid,
                                      .layer = 0,
                                      .bounds = windows[i].second});
        return list;
    }
    std::optional<std::uint32_t> windowNumber(const UIElementRef& element) const override {
        for (std::size_t i = 0; i < windows.size(); ++i)
            if (windows[i].first == element.get()) return static_cast<std::uint32_t>(i + 1);
        return std::nullopt;
    }
    bool isSameElement(const UIElementRef& a, const UIElementRef& b) const override {
        return a.get() == b.get();
    }
    double primaryScreenHeight() const override { return 1000; }

    std::vector<ApplicationState> runningApplicationsWithBundleIdentifier(const std::string&) const override {
        return {ApplicationState{.processIdentifier = pid, .isHidden = false, .isActive = true}};
    }
    std::shared_ptr<void> observeActivations(std::function<void()>) override { return nullptr; }

    int reads = 0;

  private:
    std::deque<Node> nodes;  // stable addresses
    Node applicationNode;
    std::vector<std::pair<const Node*, Rect>> windows;
};

class FinderOverlayControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.accessibility.trusted = true;
        desktop.defaults.setBool("showSelectionSize", true);
        desktop.files.addFile("/a", 1000);
        desktop.files.addFile("/b", 2000);
    }
    std::shared_ptr<FinderOverlayController> start() {
        desktop.useFileManagers(desktop.applications, fm, fm, fm);
        auto controller = FinderOverlayController::create(FinderOverlayPorts::from(desktop.ports()));
        controller->start();
        desktop.advance(0.12);
        return controller;
    }
    static const OverlayView* view(const FinderOverlayController& controller, std::uint32_t number = 1) {
        auto found = controller.overlayWindows().find(number);
        return found == controller.overlayWindows().end() ? nullptr : &found->second->overlayView;
    }

    sim::Desktop desktop;
    HandBuiltFileManager fm;
    const Rect bounds{100, 100, 600, 400};
};

TEST_F(FinderOverlayControllerTest, ElementsDeeperThanThirteenLevelsAreNotRead) {
    for (int extra : {0, 1}) {
        HandBuiltFileManager tree;
        auto& window = tree.node("AXWindow");
        auto* parent = &tree.node("AXOutline");
        window.children = {parent};
        // The item sits at depth 13, or 14 with one more group.
        for (int depth = 2; depth < 13 + extra; ++depth) {
            auto& group = tree.node("AXGroup");
            parent->children = {&group};
            parent = &group;
        }
        parent->children = {&tree.item("/a", true, Rect{110, 150, 100, 20})};
        tree.addWindow(window, bounds);
        fm = std::move(tree);
        auto controller = start();
        auto* shown = view(*controller);
        if (extra == 0) {
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->label->text, "Auswahl: 1 kB");
        } else {
            EXPECT_EQ(shown, nullptr);
        }
    }
}

TEST_F(FinderOverlayControllerTest, ATreeThatLoopsBackOnItselfEndsWithinItsBudget) {
    auto& window = fm.node("AXWindow");
    auto& loop = fm.node("AXGroup");
    auto& outline = fm.node("AXOutline");
    window.children = {&loop};
    // Every level leads back into itself three times: without a bound this is 3^13 reads.
    loop.children = {&loop, &loop, &loop, &outline};
    outline.children = {&fm.item("/a", true, Rect{110, 150, 100, 20})};
    fm.addWindow(window, bounds);
    auto controller = start();
    EXPECT_LE(fm.reads, 10 * FinderOverlayController::maximumElementsPerWindow);
    ASSERT_NE(view(*controller), nullptr);
}

TEST_F(FinderOverlayControllerTest, OnlyTheSelectionOfTheLastContainerWithOneCounts) {
    auto& window = fm.node("AXWindow");
    auto& first = fm.node("AXOutline");
    auto& second = fm.node("AXList");
    auto& third = fm.node("AXTable");
    window.children = {&first, &second, &third};
    first.children = {&fm.item("/a", true, Rect{110, 150, 100, 20})};
    second.children = {&fm.item("/b", true, Rect{110, 170, 100, 20})};
    third.children = {&fm.item("/a", false, Rect{110, 190, 100, 20})};
    fm.addWindow(window, bounds);
    auto controller = start();
    ASSERT_NE(view(*controller), nullptr);
    EXPECT_EQ(view(*controller)->label->text, "Auswahl: 2 kB");
}

TEST_F(FinderOverlayControllerTest, CutItemsWithBrokenRectanglesAreSkippedOrStraightened) {
    auto& window = fm.node("AXWindow");
    auto& area = fm.node("AXScrollArea");
    auto& outline = fm.node("AXOutline");
    HandBuiltFileManager::setFrame(area, Rect{100, 150, 600, 350});
    window.children = {&area};
    area.children = {&outline};
    outline.children = {&fm.item("/a", false, Rect{NAN, 200, 100, 20}),
                        &fm.item("/b", false, Rect{300, 300, -100, -20}),
                        &fm.item("/c", false, Rect{-1e300, -1e300, 2e300, 2e300})};
    fm.addWindow(window, bounds);
    auto controller = start();
    controller->setCutPaths({"/a", "/b", "/c"});

    ASSERT_NE(view(*controller), nullptr);
    // The straightened one, and the huge one cut down to the file area; the one that is not a number is left
    // out.
    EXPECT_EQ(view(*controller)->rects,
              (std::vector<Rect>{Rect{100, 500 - 300, 100, 20}, Rect{0, 0, 600, 350}}));
    EXPECT_EQ(controller->pathCacheSize(), 3u);
}

TEST_F(FinderOverlayControllerTest, WindowsOfZeroSizeOrWithoutNumericBoundsDoNotBreakTheBadge) {
    auto& empty = fm.node("AXWindow");
    empty.children = {&fm.item("/a", true, Rect{0, 0, 0, 0})};
    auto& broken = fm.node("AXWindow");
    fm.addWindow(empty, Rect{100, 100, 0, 0});
    fm.addWindow(broken, Rect{NAN, 0, INFINITY, 10});
    auto controller = start();
    // No container: no label, nothing to draw, and the window with bounds that are no numbers is left alone.
    EXPECT_TRUE(controller->overlayWindows().empty());
    EXPECT_TRUE(desktop.overlaySurfaces.visible().empty());
}

}  // namespace
