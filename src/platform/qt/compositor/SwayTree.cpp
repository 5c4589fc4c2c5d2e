#include "platform/qt/compositor/SwayTree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace larkspire::qt {

using linux_desktop::DesktopWindow;
using nlohmann::json;

namespace {

// Layouts nest a few levels; a deeper tree is garbage and is not followed further.
constexpr int maximumDepth = 64;
// A session shows far fewer windows; the bound keeps one pass small whatever the tree claims.
constexpr std::size_t maximumWindows = 1024;

struct Listed {
    DesktopWindow window;
    int fullscreen = 0;  // 0 none, 1 its workspace, 2 every output
};

std::optional<Rect> rect(const json& node, const char* key) {
    auto found = node.find(key);
    if (found == node.end() || !found->is_object()) return std::nullopt;
    Rect r;
    for (auto [name, value] :
         {std::pair{"x", &r.x}, {"y", &r.y}, {"width", &r.width}, {"height", &r.height}}) {
        auto field = found->find(name);
        if (field == found->end() || !field->is_number()) return std::nullopt;
        *value = field->get<double>();
    }
    if (!r.isFinite() || r.width < 0 || r.height < 0) return std::nullopt;
    return r;
}

std::optional<std::int64_t> integer(const json& node, const char* key) {
    auto found = node.find(key);
    if (found == node.end() || !found->is_number_integer()) return std::nullopt;
    return found->get<std::int64_t>();
}

std::string text(const json& node, const char* key) {
    auto found = node.find(key);
    return found != node.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool flag(const json& node, const char* key) {
    auto found = node.find(key);
    return found != node.end() && found->is_boolean() && found->get<bool>();
}

const json& children(const json& node, const char* key) {
    static const json none = json::array();
    auto found = node.find(key);
    return found != node.end() && found->is_array() ? *found : none;
}

// A view is a leaf that some program draws: it has a shell (Wayland or XWayland) or a process.
bool isView(const json& node) {
    return node.contains("shell") || node.contains("pid") || node.contains("app_id");
}

std::optional<Listed> view(const json& node) {
    auto id = integer(node, "id");
    auto outer = rect(node, "rect");
    if (!id || *id <= 0 || *id > std::numeric_limits<std::uint32_t>::max() || !outer) return std::nullopt;
    // The program's own area lies inside the container, below its title bar and inside its border.
    Rect client = *outer;
    if (auto inner = rect(node, "window_rect")) {
        client = Rect{outer->x + inner->x, outer->y + inner->y, inner->width, inner->height};
        if (!client.isFinite()) return std::nullopt;
    }
    Listed listed;
    listed.window.number = static_cast<std::uint32_t>(*id);
    auto pid = integer(node, "pid");
    if (pid && *pid > 0 && *pid <= std::numeric_limits<std::int32_t>::max())
        listed.window.processIdentifier = static_cast<std::int32_t>(*pid);
    listed.window.title = text(node, "name");
    listed.window.client = client;
    listed.window.frame = *outer;
    listed.window.onScreen = flag(node, "visible");
    listed.window.windowRelativeExtents = text(node, "shell") != "xwayland";
    auto mode = integer(node, "fullscreen_mode").value_or(0);
    listed.fullscreen = mode == 1 || mode == 2 ? static_cast<int>(mode) : 0;
    return listed;
}

// The children in the order their parent last focused them, which for overlapping ones (tabs,
// stacks) is front to back; those it never focused keep their place after them.
std::vector<const json*> inFocusOrder(const json& node) {
    const auto& nodes = children(node, "nodes");
    std::vector<const json*> ordered;
    ordered.reserve(nodes.size());
    for (const auto& child : nodes) ordered.push_back(&child);
    std::vector<std::int64_t> focus;
    for (const auto& id : children(node, "focus"))
        if (id.is_number_integer()) focus.push_back(id.get<std::int64_t>());
    auto rank = [&focus](const json* child) {
        auto id = integer(*child, "id");
        auto at = id ? std::find(focus.begin(), focus.end(), *id) : focus.end();
        return static_cast<std::size_t>(at - focus.begin());
    };
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&rank](const json* a, const json* b) { return rank(a) < rank(b); });
    return ordered;
}

void collect(const json& node, int depth, std::vector<Listed>& out, std::optional<std::uint32_t>& focused) {
    if (depth > maximumDepth || out.size() >= maximumWindows || !node.is_object()) return;
    if (isView(node) && children(node, "nodes").empty()) {
        if (auto listed = view(node)) {
            if (flag(node, "focused")) focused = listed->window.number;
            out.push_back(std::move(*listed));
        }
        return;
    }
    // Floating containers lie above the tiled ones of their workspace; the last one listed is on top.
    const auto& floating = children(node, "floating_nodes");
    for (auto it = floating.rbegin(); it != floating.rend(); ++it) collect(*it, depth + 1, out, focused);
    for (const auto* child : inFocusOrder(node)) collect(*child, depth + 1, out, focused);
}

}  // namespace

std::optional<SwayTree> SwayTree::parse(std::string_view text) {
    auto root = json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object() || !root.contains("nodes") || !root["nodes"].is_array())
        return std::nullopt;
    std::vector<Listed> listed;
    SwayTree tree;
    collect(root, 0, listed, tree.focused);
    // What is on screen comes first; a fullscreen window covers its output, and one fullscreen on
    // every output covers them all.
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        auto key = [](const Listed& l) {
            return std::pair{!l.window.onScreen, l.fullscreen == 0 ? 3 : 3 - l.fullscreen};
        };
        return key(a) < key(b);
    });
    tree.windows.reserve(listed.size());
    for (auto& one : listed) tree.windows.push_back(std::move(one.window));
    return tree;
}

}  // namespace larkspire::qt
