#include "platform/linux/accessibility/FileManagerScene.h"

#include "platform/types/Url.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace larkspire::linux_desktop {

namespace {

// Views without extents of their own still match, after every view that has them.
constexpr double unknownDistance = 1e12;

double distance(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.width - b.width) +
           std::abs(a.height - b.height);
}

double sizeDistance(const Rect& a, const Rect& b) {
    return std::abs(a.width - b.width) + std::abs(a.height - b.height);
}

bool measuredFromWindow(const FileManagerView& view, const DesktopWindow& window) {
    return view.coordinates == Coordinates::window || window.windowRelativeExtents;
}

// Some file managers measure their window with the decoration, others without, and window-relative
// extents only say the size.
double geometryDistance(const FileManagerView& view, const DesktopWindow& window) {
    if (!view.frame || !view.frame->isFinite()) return unknownDistance;
    if (measuredFromWindow(view, window))
        return std::min(sizeDistance(*view.frame, window.client), sizeDistance(*view.frame, window.frame));
    return std::min(distance(*view.frame, window.client), distance(*view.frame, window.frame));
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.x + b.width &&
           b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

Rect moved(Rect r, double dx, double dy) {
    r.x += dx;
    r.y += dy;
    return r;
}

// The folder as the start of its items' paths: absolute and without NUL, ending in one slash.
std::optional<std::string> folderPrefix(const std::optional<std::string>& folder) {
    if (!folder || folder->empty() || folder->front() != '/' || folder->find('\0') != std::string::npos)
        return std::nullopt;
    auto end = folder->find_last_not_of('/');
    return end == std::string::npos ? "/" : folder->substr(0, end + 1) + "/";
}

// A name that could lead anywhere but into its folder names no item of it.
bool isSoundName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// GTK 4 draws its own decoration and, without a compositor, keeps a resize border of a few pixels on
// every side inside its X11 window; its window-relative extents start inside that border. The frame
// it reports is the window without it, so the border is half the difference on each axis. A frame
// larger than the window, or a border wider than any theme draws, is a garbled reply: no border then.
std::pair<double, double> drawnInset(const FileManagerView& view, const DesktopWindow& listed) {
    constexpr double widestBorder = 64;
    if (!view.frame || !view.frame->isFinite()) return {0, 0};
    auto half = [&](double outer, double inner) {
        double border = (outer - inner) / 2;
        return border >= 0 && border <= widestBorder ? std::floor(border) : 0;
    };
    double left = half(listed.client.width, view.frame->width);
    double top = half(listed.client.height, view.frame->height);
    return {left, top};
}

// A compositor that lists a surface with its shadows and the window as drawn inside them (GNOME
// Shell, KWin) says exactly where the window lies; a program whose window is as large as that counts
// from its corner, however unevenly the shadows are drawn.
bool drawnAsFrame(const FileManagerView& view, const DesktopWindow& listed) {
    return view.frame && view.frame->isFinite() && listed.frame != listed.client &&
           listed.frame.width <= listed.client.width && listed.frame.height <= listed.client.height &&
           sizeDistance(*view.frame, listed.frame) < 1;
}

SceneWindow sceneWindow(const FileManagerWindow& window, const DesktopWindow& listed) {
    SceneWindow scene{.processIdentifier = window.processIdentifier, .number = listed.number};
    const auto& view = window.view;
    if (!view.exposesItems || !view.viewport || !view.viewport->isFinite()) return scene;
    double dx = 0, dy = 0;
    if (measuredFromWindow(view, listed)) {
        if (drawnAsFrame(view, listed)) {
            dx = listed.frame.x;
            dy = listed.frame.y;
        } else {
            auto [left, top] = drawnInset(view, listed);
            dx = listed.client.x + left;
            dy = listed.client.y + top;
        }
    }
    scene.viewport = moved(*view.viewport, dx, dy);
    auto folder = folderPrefix(view.folder);
    if (!folder) return scene;
    for (const auto& item : view.items) {
        if (!isSoundName(item.name) || !item.extents.isFinite()) continue;
        auto extents = moved(item.extents, dx, dy);
        // Rows scrolled away keep sentinel or zero extents on the bus; only those in view count.
        if (!overlaps(extents, *scene.viewport)) continue;
        scene.items.push_back(SceneItem{.url = Url::fileUrl(*folder + item.name).string(),
                                        .extents = extents,
                                        .selected = item.selected});
    }
    return scene;
}

}  // namespace

FileManagerScene FileManagerScene::match(const std::vector<FileManagerWindow>& views,
                                         std::vector<DesktopWindow> windows,
                                         std::optional<std::uint32_t> activeWindow) {
    struct Candidate {
        double distance;
        bool activityDisagrees;
        std::size_t window;
        std::size_t view;
    };
    std::vector<Candidate> candidates;
    for (std::size_t v = 0; v < views.size(); ++v) {
        const auto& view = views[v];
        for (std::size_t w = 0; w < windows.size(); ++w) {
            const auto& window = windows[w];
            // A frame read before its program named it has no title yet; its place still tells.
            if (window.desktopElement || window.processIdentifier != view.processIdentifier ||
                (!view.view.title.empty() && window.title != view.view.title))
                continue;
            bool isActive = activeWindow == window.number;
            candidates.push_back(Candidate{.distance = std::round(geometryDistance(view.view, window)),
                                           .activityDisagrees = view.view.active != isActive,
                                           .window = w,
                                           .view = v});
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.distance, a.activityDisagrees, a.window, a.view) <
               std::tie(b.distance, b.activityDisagrees, b.window, b.view);
    });

    std::vector<const FileManagerWindow*> viewOfWindow(windows.size(), nullptr);
    std::vector<bool> viewTaken(views.size(), false);
    for (const auto& candidate : candidates) {
        if (viewTaken[candidate.view] || viewOfWindow[candidate.window]) continue;
        viewTaken[candidate.view] = true;
        viewOfWindow[candidate.window] = &views[candidate.view];
    }

    FileManagerScene scene{.activeWindow = activeWindow};
    for (std::size_t w = 0; w < windows.size(); ++w)
        if (viewOfWindow[w]) scene.fileManagerWindows.push_back(sceneWindow(*viewOfWindow[w], windows[w]));
    scene.windows = std::move(windows);
    return scene;
}

}  // namespace larkspire::linux_desktop
