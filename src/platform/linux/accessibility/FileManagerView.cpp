#include "platform/linux/accessibility/FileManagerView.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <libintl.h>
#include <set>

namespace larkspire::linux_desktop {

namespace {

using Object = std::shared_ptr<const AccessibleObject>;

// Every call may be a round trip, and a broken program may report loops or millions of children, so
// each search is bounded in depth, in objects visited and in children looked at per object.
constexpr int deepest = 24;
constexpr int searchBudget = 600;
constexpr int childrenPerContainer = 64;
constexpr int mostVisibleItems = 400;
constexpr int mostColumns = 32;
constexpr int linearScanLimit = 600;
constexpr int nautilusScanLimit = 5000;

// Toolkits mark rows they did not lay out with a huge negative place.
constexpr double offScreen = -1e6;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Rectangles of objects the program shows; off-screen rows come with a huge negative sentinel or no size.
std::optional<Rect> shown(const std::optional<Rect>& extents) {
    if (!extents || !extents->isFinite() || extents->width <= 0 || extents->height <= 0) return std::nullopt;
    if (extents->x < offScreen || extents->y < offScreen) return std::nullopt;
    return extents;
}

std::optional<Rect> shown(const AccessibleObject& object) {
    return shown(object.extents());
}

double bottom(const Rect& r) {
    return r.y + r.height;
}

bool intersects(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// A file's name as a path component: nothing that would lead out of the folder.
bool isFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// An absolute path without a trailing slash, or nothing for anything that is not one.
std::optional<std::string> folderPath(std::string path) {
    if (path.empty() || path.front() != '/') return std::nullopt;
    if (path.find('\0') != std::string::npos || path.find('\n') != std::string::npos) return std::nullopt;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Depth-first, in child order. The visitor answers whether to descend; `stop` ends the whole search.
struct Search {
    int budget = searchBudget;
    bool stop = false;
    using Visitor = std::function<bool(const Object& object, const std::string& role, const Object& parent)>;

    void run(const Object& root, const Visitor& visit) { walk(root, nullptr, 0, visit); }

  private:
    void walk(const Object& object, const Object& parent, int depth, const Visitor& visit) {
        if (stop || !object || depth > deepest || --budget < 0) return;
        if (!visit(object, object->role(), parent) || stop) return;
        int count = std::min(object->childCount(), childrenPerContainer);
        for (int i = 0; i < count && !stop; ++i) walk(object->child(i), object, depth + 1, visit);
    }
};

// The names of a path bar's buttons from the current folder (checked) up to the root, deepest first.
std::optional<std::string> checkedPathBar(const AccessibleObject& bar, const std::string& buttonRole,
                                          const std::string& rootName) {
    int count = std::min(bar.childCount(), childrenPerContainer);
    std::vector<std::string> names;
    bool checked = false;
    for (int i = 0; i < count; ++i) {
        Object button = bar.child(i);
        if (!button || button->role() != buttonRole) return std::nullopt;
        if (!checked) checked = button->hasState("checked");
        if (checked) names.push_back(button->name());
    }
    // Without a checked button, or without the root at the end, the path is not known.
    if (!checked || names.empty() || names.back() != rootName) return std::nullopt;
    std::string path;
    for (auto name = names.rbegin() + 1; name != names.rend(); ++name) {
        if (!isFileName(*name)) return std::nullopt;
        path += "/" + *name;
    }
    return path.empty() ? "/" : path;
}

// Whether an object's first child has the role of a path-bar button; the bars are found by that.
bool firstChildIs(const AccessibleObject& object, const std::string& role) {
    if (object.childCount() < 1) return false;
    Object first = object.child(0);
    return first && first->role() == role;
}

struct Rows {
    const AccessibleObject& view;
    int first = 0;   // index of the first item's child
    int stride = 1;  // children per item
    int count = 0;   // items
    Object item(int k) const { return k < 0 || k >= count ? nullptr : view.child(first + k * stride); }
};

// The first item whose rectangle reaches below the viewport's top, by halving: for views that lay out
// every row, off-screen ones included, in order.
int firstBelowTop(const Rows& rows, const Rect& viewport) {
    int low = 0;
    int high = rows.count;
    while (low < high) {
        int middle = low + (high - low) / 2;
        Object item = rows.item(middle);
        auto extents = item ? shown(*item) : std::nullopt;
        // An item without a place cannot be ordered; it is taken as above, and the walk checks each item.
        if (!extents || bottom(*extents) <= viewport.y)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

struct Candidate {
    Object object;
    Rect extents;
    int index = 0;  // the item's place in its view
};

// Items from `start` on while they are inside the viewport. A row without a place followed by one
// inside the viewport is still being laid out: it is skipped and `gap` tells the read is not whole.
std::vector<Candidate> walkVisible(const Rows& rows, int start, const Rect& viewport, bool& gap) {
    std::vector<Candidate> found;
    // Items beside the viewport (a garbled place) end the walk as surely as those below it.
    int last = std::min(rows.count, std::max(start, 0) + 2 * mostVisibleItems);
    for (int k = std::max(start, 0); k < last && int(found.size()) < mostVisibleItems; ++k) {
        Object item = rows.item(k);
        if (!item) break;
        auto extents = shown(*item);
        if (!extents) {
            Object next = rows.item(k + 1);
            auto after = next ? shown(*next) : std::nullopt;
            if (!after || !intersects(*after, viewport)) break;
            gap = true;
            continue;
        }
        if (extents->y >= bottom(viewport)) break;
        if (intersects(*extents, viewport)) found.push_back({item, *extents, k});
    }
    return found;
}

// The viewport of a table below its header row.
Rect belowHeader(const Rect& table, const Rect& header) {
    double top = std::clamp(bottom(header), table.y, bottom(table));
    return {table.x, top, table.width, bottom(table) - top};
}

std::string homeFolder(const std::string& home) {
    if (!home.empty()) return home;
    const char* env = std::getenv("HOME");
    return env ? env : "";
}

// The name the system gives itself (os-release's NAME, "Linux" without one), which Nautilus shows on
// its path bar's button for "/".
std::string systemNameFromFile() {
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(file);
        if (!in) continue;
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("NAME=", 0) != 0) continue;
            std::string value = line.substr(5);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            std::string plain;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) ++i;
                plain += value[i];
            }
            if (!plain.empty()) return plain;
        }
        return "Linux";
    }
    return "Linux";
}

// Nautilus names the home folder's button in its own translation for the session's language.
std::string homeButtonName(const std::string& given) {
    if (!given.empty()) return given;
    static const std::string translated = dgettext("nautilus", "Home");
    return translated;
}

std::string systemName(const std::string& given) {
    if (!given.empty()) return given;
    static const std::string fromFile = systemNameFromFile();
    return fromFile;
}

// The path bar of Nautilus: buttons from the root (named after the system) or "Home" down to the
// current folder.
std::optional<std::string> nautilusPathBar(const Object& bar, const std::string& home,
                                           const PathBarNames& names) {
    std::vector<std::string> labels;
    Search search;
    search.budget = 120;
    search.run(bar, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "push button") {
            Search label;
            label.budget = 8;
            label.run(object, [&](const Object& inner, const std::string& innerRole, const Object&) {
                if (innerRole == "label") {
                    labels.push_back(inner->name());
                    label.stop = true;
                }
                return true;
            });
            return false;
        }
        return role != "scroll bar";
    });
    if (labels.empty()) return std::nullopt;
    std::string path;
    if (labels.front() == "Home" || labels.front() == homeButtonName(names.home)) {
        auto base = folderPath(homeFolder(home));
        if (!base) return std::nullopt;
        path = *base == "/" ? "" : *base;
    } else if (labels.front() != "/" && labels.front() != systemName(names.system)) {
        return std::nullopt;  // a start the rule does not know: better no folder than a wrong one
    }
    for (auto label = labels.begin() + 1; label != labels.end(); ++label) {
        if (!isFileName(*label)) return std::nullopt;
        path += "/" + *label;
    }
    return path.empty() ? "/" : path;
}

enum class Layout { none, thunarTable, pcmanfmTable, pcmanfmIcons, nautilusList, nautilusGrid };

// Where a window keeps its folder and its items, found once and kept while the window stays the same.
struct Parts {
    std::optional<std::string> folder;
    Layout layout = Layout::none;
    Object items;    // the object whose children are the items (or their cells)
    Object area;     // whose extents bound the viewport
    Object header;   // the header row above the items, when the view has one
    int first = 0;   // children before the first item: the column headers
    int stride = 1;  // children per item: the columns, or the model columns of pcmanfm-qt's icons
    std::optional<Rect> emptyViewport;  // views that list nothing still have a place
    int nearChild = -1;                 // where the visible items were found last time
};

// Column headers lead a table's children; the cells follow row by row, one per column.
void countHeaders(Parts& parts) {
    int count = std::min(parts.items->childCount(), mostColumns);
    int headers = 0;
    for (; headers < count; ++headers) {
        Object child = parts.items->child(headers);
        if (!child || child->role() != "table column header") break;
        if (headers == 0) parts.header = child;
    }
    parts.first = headers;
    parts.stride = std::max(headers, 1);
}

void locateThunar(const Object& frame, Parts& parts) {
    Object pane;
    Search search;
    search.run(frame, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "text" && !parts.folder) {
            if (auto text = object->text()) parts.folder = folderPath(*text);
            return false;
        }
        if (role == "panel" && !parts.folder && firstChildIs(*object, "toggle button")) {
            parts.folder = checkedPathBar(*object, "toggle button", "");
            return false;
        }
        if (role == "directory pane") {
            pane = object;
            return false;
        }
        if (role == "page tab") return object->hasState("selected");
        if (pane && parts.folder) search.stop = true;
        return role == "frame" || role == "panel" || role == "filler" || role == "tool bar" ||
               role == "split pane" || role == "page tab list";
    });
    if (!pane) return;
    // The details view is a table; the icon and compact views show one panel that lists nothing.
    int count = std::min(pane->childCount(), 8);
    for (int i = 0; i < count; ++i) {
        Object child = pane->child(i);
        if (!child) continue;
        std::string role = child->role();
        if (role == "table" || role == "tree table") {
            parts.layout = Layout::thunarTable;
            parts.items = parts.area = child;
            countHeaders(parts);
            return;
        }
        if (role == "panel" && !parts.emptyViewport) parts.emptyViewport = shown(*child);
    }
}

void locatePcmanfm(const Object& frame, Parts& parts) {
    Object views;
    Search search;
    search.run(frame, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "check box") return false;
        if (role == "filler" && !parts.folder && firstChildIs(*object, "check box")) {
            parts.folder = checkedPathBar(*object, "check box", "/");
            if (parts.folder) return false;
        }
        if (role == "text" && !parts.folder) {
            if (auto text = object->text()) parts.folder = folderPath(*text);
            return false;
        }
        // The folder views are the pages of the layered pane; the side pane's tree lies outside it.
        if (role == "layered pane") {
            views = object;
            return false;
        }
        if (views && parts.folder) search.stop = true;
        return role == "frame" || role == "filler" || role == "tool bar" || role == "split pane" ||
               role == "panel";
    });
    if (!views) return;
    Search inside;
    inside.run(views, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "tree" || role == "table") {
            parts.layout = Layout::pcmanfmTable;
            parts.items = parts.area = object;
            countHeaders(parts);
        } else if (role == "list") {
            parts.layout = Layout::pcmanfmIcons;
            parts.items = parts.area = object;
            // One item per column of the file model; only the first of each has a place.
            int count = object->childCount();
            int stride = 1;
            for (; stride <= mostColumns && stride < count; ++stride) {
                Object next = object->child(stride);
                if (!next || shown(*next)) break;
            }
            parts.stride = stride > mostColumns ? 1 : stride;
        } else {
            return role == "layered pane" || role == "filler" || role == "panel";
        }
        inside.stop = true;
        return false;
    });
}

void locateNautilus(const Object& frame, Parts& parts, const std::string& home, const PathBarNames& names) {
    Object toolbar;
    Object view;
    Object scrollPane;
    Search search;
    search.run(frame, [&](const Object& object, const std::string& role, const Object& parent) {
        if (role == "tool bar") {
            if (!toolbar) toolbar = object;
            return false;
        }
        if ((role == "tree table" && object->name() == "GtkColumnView") ||
            (role == "table" && object->name() == "GtkGridView")) {
            // The view not shown stays in the tree without a size.
            if (shown(*object)) {
                view = object;
                parts.layout = role == "table" ? Layout::nautilusGrid : Layout::nautilusList;
                scrollPane = parent && parent->role() == "scroll pane" ? parent : nullptr;
                search.stop = true;
            }
            return false;
        }
        return role == "frame" || role == "panel" || role == "filler" || role == "scroll pane";
    });
    if (toolbar) {
        // The path bar is the tool bar's first scrolling area with a panel of buttons.
        Search bar;
        bar.budget = 200;
        bar.run(toolbar, [&](const Object& object, const std::string& role, const Object&) {
            if (role != "scroll pane") return role == "tool bar" || role == "panel" || role == "filler";
            Object content = object->childCount() > 0 ? object->child(0) : nullptr;
            if (content && content->role() == "panel") {
                parts.folder = nautilusPathBar(content, home, names);
                bar.stop = true;
            }
            return false;
        });
    }
    if (!view) return;
    parts.area = scrollPane ? scrollPane : view;
    if (parts.layout == Layout::nautilusGrid) {
        parts.items = view;
        return;
    }
    // A column view holds the header row and then the list of rows.
    parts.header = view->childCount() > 0 ? view->child(0) : nullptr;
    Object rows = view->childCount() > 1 ? view->child(1) : nullptr;
    if (rows && rows->role() == "list")
        parts.items = rows;
    else
        parts.layout = Layout::none;
}

std::optional<Rect> viewportOf(const Parts& parts) {
    if (parts.layout == Layout::none || !parts.area) return std::nullopt;
    auto area = shown(*parts.area);
    if (!area) return std::nullopt;
    if (!parts.header) return area;
    auto header = shown(*parts.header);
    return header ? belowHeader(*area, *header) : *area;
}

bool readsRows(Layout layout) {
    return layout == Layout::thunarTable || layout == Layout::pcmanfmTable || layout == Layout::nautilusList;
}

// Whether the user is at a run: it holds the focused or a selected row.
bool touched(const std::vector<Candidate>& run) {
    return std::any_of(run.begin(), run.end(), [](const Candidate& candidate) {
        auto states = candidate.object->states();
        return std::find(states.begin(), states.end(), "focused") != states.end() ||
               std::find(states.begin(), states.end(), "selected") != states.end();
    });
}

// GTK 4 keeps widgets for the rows near the visible ones (some hundreds in a long folder), and rows
// scrolled away may keep the place they had. The rows really shown are the longest run of children
// that advances without overlapping. Rows left behind by a far jump (End, then Home) can make a run
// just as long, which nothing in their places tells apart: the one the user is at wins, else the later.
std::vector<Candidate> longestRun(const AccessibleObject& view, const Rect& viewport, int from, int to) {
    std::vector<Candidate> best;
    std::vector<Candidate> run;
    auto keep = [&] {
        if (run.size() > best.size() || (run.size() == best.size() && (touched(run) || !touched(best))))
            best = run;
    };
    for (int i = from; i < to; ++i) {
        Object child = view.child(i);
        auto extents = child ? shown(*child) : std::nullopt;
        bool inside = extents && intersects(*extents, viewport);
        if (inside && !run.empty()) {
            const Rect& last = run.back().extents;
            bool advances =
                extents->y > last.y || (extents->y == last.y && extents->x >= last.x + last.width);
            if (!advances || intersects(*extents, last)) {
                keep();
                run.clear();
            }
        }
        if (inside) run.push_back({child, *extents, i});
        if (int(run.size()) >= mostVisibleItems) break;
    }
    keep();
    return best;
}

// Whether a run of items fills the viewport from top to bottom.
bool fills(const std::vector<Candidate>& run, const Rect& viewport) {
    if (run.empty()) return false;
    const Rect& first = run.front().extents;
    const Rect& last = run.back().extents;
    return first.y <= viewport.y + first.height && bottom(last) >= bottom(viewport) - last.height;
}

// Looks first near the rows shown last time, which is where they stay unless the view jumped far.
std::vector<Candidate> nautilusVisible(const AccessibleObject& view, const Rect& viewport, int& near) {
    int count = std::min(view.childCount(), nautilusScanLimit);
    if (near >= 0 && near < count) {
        int from = std::max(0, near - 48);
        int to = std::min(count, near + 144);
        auto run = longestRun(view, viewport, from, to);
        if (fills(run, viewport) && (from == 0 || run.front().index > from) && run.back().index < to - 1) {
            near = run.front().index;
            return run;
        }
    }
    auto run = longestRun(view, viewport, 0, count);
    near = run.empty() ? -1 : run.front().index;
    return run;
}

// Thunar lays out only the visible rows; the others share a sentinel, so halving cannot order them.
// The table tells which cell is at the viewport's top instead.
int thunarFirstRow(const Parts& parts, const Rows& rows, const Rect& viewport) {
    if (Object cell = parts.items->childAtPoint(viewport.x + viewport.width / 2, viewport.y + 1)) {
        int index = cell->indexInParent();
        if (index >= parts.first) return (index - parts.first) / parts.stride;
    }
    // Without a point lookup: the first laid-out row among the first few hundred.
    for (int k = 0; k < std::min(rows.count, linearScanLimit); ++k) {
        Object item = rows.item(k);
        if (item && shown(*item)) return k;
    }
    return -1;
}

// The items of the views that keep their items' children in order, a fixed number per item.
std::optional<Rows> rowsOf(const Parts& parts) {
    if (!parts.items) return std::nullopt;
    if (parts.layout != Layout::thunarTable && parts.layout != Layout::pcmanfmTable &&
        parts.layout != Layout::pcmanfmIcons)
        return std::nullopt;
    int count = std::max(parts.items->childCount() - parts.first, 0);
    Rows rows{*parts.items, parts.first, parts.stride, count / parts.stride};
    if (parts.layout == Layout::pcmanfmIcons) rows.count = (count + parts.stride - 1) / parts.stride;
    return rows;
}

// The items inside the viewport, each with the object that tells its selection.
std::vector<Candidate> visibleItems(Parts& parts, const Rect& viewport, bool& gap) {
    if (!parts.items) return {};
    if (auto rows = rowsOf(parts)) {
        int start = parts.layout == Layout::thunarTable ? thunarFirstRow(parts, *rows, viewport)
                                                        : firstBelowTop(*rows, viewport);
        return start < 0 ? std::vector<Candidate>{} : walkVisible(*rows, start, viewport, gap);
    }
    if (parts.layout == Layout::nautilusList || parts.layout == Layout::nautilusGrid)
        return nautilusVisible(*parts.items, viewport, parts.nearChild);
    return {};
}

std::string itemName(const Parts& parts, const AccessibleObject& item) {
    switch (parts.layout) {
    case Layout::thunarTable: {
        // The name cell holds the icon cell and then the name.
        Object name = item.childCount() > 1 ? item.child(1) : nullptr;
        return name ? name->name() : item.name();
    }
    case Layout::nautilusList: {
        // A row's first cell holds a child named after the file.
        Object cell = item.childCount() > 0 ? item.child(0) : nullptr;
        Object named = cell && cell->childCount() > 0 ? cell->child(0) : nullptr;
        return named ? named->name() : std::string();
    }
    case Layout::nautilusGrid: {
        Object named = item.childCount() > 0 ? item.child(0) : nullptr;
        return named ? named->name() : std::string();
    }
    default:
        return item.name();
    }
}

struct ReadItem {
    Object object;
    int index = 0;
};

// Tables tell their selected rows at once; pcmanfm-qt's icon view keeps that list empty, and Nautilus
// answers per item.
bool tellsSelectedRows(const Parts& parts) {
    return parts.layout == Layout::thunarTable || parts.layout == Layout::pcmanfmTable;
}

// Per item read, whether the table's selected rows hold it.
std::vector<bool> selectedAmong(const std::vector<int>& rows, const std::vector<ReadItem>& read) {
    std::set<int> selected(rows.begin(), rows.end());
    std::vector<bool> flags;
    flags.reserve(read.size());
    for (const auto& item : read) flags.push_back(selected.count(item.index) > 0);
    return flags;
}

void markSelection(const Parts& parts, const std::vector<ReadItem>& read,
                   std::vector<FileManagerItem>& items) {
    std::optional<std::vector<bool>> flags;
    if (tellsSelectedRows(parts))
        flags = selectedAmong(parts.items->selectedRows().value_or(std::vector<int>{}), read);
    for (std::size_t i = 0; i < items.size() && i < read.size(); ++i)
        items[i].selected = flags ? (*flags)[i] : read[i].object->hasState("selected");
}

}  // namespace

struct FileManagerReader::Cache {
    FileManagerKind kind;
    Object frame;
    std::string home;
    PathBarNames names;
    bool located = false;
    Parts parts;
    FileManagerView view;
    std::vector<ReadItem> read;
    bool complete = false;
};

FileManagerReader::FileManagerReader(FileManagerKind kind, std::shared_ptr<const AccessibleObject> frame,
                                     std::string home, PathBarNames names)
    : cache(std::make_unique<Cache>(Cache{kind, std::move(frame), std::move(home), std::move(names)})) {}

FileManagerReader::~FileManagerReader() = default;

std::optional<FileManagerView> FileManagerReader::read() {
    cache->located = false;
    return readItems();
}

std::optional<FileManagerView> FileManagerReader::readItems() {
    cache->complete = false;
    if (!cache->frame || cache->frame->role() != "frame") return std::nullopt;
    FileManagerView& view = cache->view;
    view = {};
    view.title = cache->frame->name();
    view.active = cache->frame->hasState("active");
    view.frame = cache->frame->extents();
    if (view.frame && !view.frame->isFinite()) view.frame.reset();
    if (!cache->located) {
        int near = cache->parts.nearChild;
        cache->parts = {};
        cache->parts.nearChild = near;
        switch (cache->kind) {
        case FileManagerKind::thunar:
            locateThunar(cache->frame, cache->parts);
            break;
        case FileManagerKind::pcmanfmQt:
            locatePcmanfm(cache->frame, cache->parts);
            break;
        case FileManagerKind::nautilus:
            locateNautilus(cache->frame, cache->parts, cache->home, cache->names);
            break;
        }
        cache->located = true;
    }
    Parts& parts = cache->parts;
    view.coordinates = cache->kind == FileManagerKind::nautilus ? Coordinates::window : Coordinates::screen;
    view.folder = parts.folder;
    view.viewport = parts.layout == Layout::none ? parts.emptyViewport : viewportOf(parts);
    cache->read.clear();
    // A view that lists nothing is whole once it has its place; one that lists items needs its folder.
    cache->complete = !view.title.empty() && view.viewport && (parts.layout == Layout::none || view.folder);
    if (parts.layout == Layout::none || !view.viewport) return view;
    view.exposesItems = true;
    // Names alone lead nowhere: without the folder no item can stand for a file.
    if (!view.folder) return view;
    bool gap = false;
    auto candidates = visibleItems(parts, *view.viewport, gap);
    if (gap) cache->complete = false;
    for (const auto& candidate : candidates) {
        std::string name = itemName(parts, *candidate.object);
        // Thunar names a row's cells only as it draws them: an unnamed row is one still being built.
        if (name.empty()) cache->complete = false;
        if (!isFileName(name)) continue;
        // A row stands for its file across the view's whole width, as a list shows it selected.
        Rect extents = readsRows(parts.layout) ? Rect{view.viewport->x, candidate.extents.y,
                                                      view.viewport->width, candidate.extents.height}
                                               : candidate.extents;
        view.items.push_back({name, extents, false});
        cache->read.push_back({candidate.object, candidate.index});
    }
    markSelection(parts, cache->read, view.items);
    return view;
}

std::optional<FileManagerView> FileManagerReader::readSelection() {
    if (!cache->located) return read();
    // Rows left at their old places hide a far scroll from `moved`; the user selects in the rows shown,
    // so a new selection finds them again.
    if (cache->kind == FileManagerKind::nautilus) return readItems();
    markSelection(cache->parts, cache->read, cache->view.items);
    return cache->view;
}

bool FileManagerReader::moved() {
    // A read taken as it was after a few tries was not whole; it is read again until it is.
    if (!cache->located || !cache->complete) return true;
    auto frame = cache->frame ? cache->frame->extents() : std::nullopt;
    if (frame != cache->view.frame) return true;
    if (cache->parts.layout == Layout::none) return false;
    if (viewportOf(cache->parts) != cache->view.viewport) return true;
    // Scrolling moves the first item read, or takes it out of the view.
    bool gap = false;
    if (cache->read.empty()) return !visibleItems(cache->parts, *cache->view.viewport, gap).empty();
    auto first = cache->read.front().object->extents();
    if (!first || first->y != cache->view.items.front().extents.y) return true;
    // Rows laid out after the read (a program filling its list late) come into view below the last one.
    auto rows = rowsOf(cache->parts);
    if (!rows || cache->read.size() >= std::size_t(mostVisibleItems)) return false;
    Object next = rows->item(cache->read.back().index + 1);
    auto extents = next ? shown(*next) : std::nullopt;
    return extents && intersects(*extents, *cache->view.viewport);
}

bool FileManagerReader::selectionChanged() {
    if (!cache->located || !tellsSelectedRows(cache->parts)) return false;
    auto rows = cache->parts.items->selectedRows();
    if (!rows) return false;
    auto flags = selectedAmong(*rows, cache->read);
    const auto& items = cache->view.items;
    for (std::size_t i = 0; i < items.size() && i < flags.size(); ++i)
        if (items[i].selected != flags[i]) return true;
    return false;
}

bool FileManagerReader::complete() const {
    return cache->located && cache->complete;
}

std::optional<FileManagerKind> fileManagerKind(const std::string& applicationName) {
    std::string name = lowered(applicationName);
    if (name == "thunar") return FileManagerKind::thunar;
    if (name == "pcmanfm-qt") return FileManagerKind::pcmanfmQt;
    if (name == "org.gnome.nautilus" || name == "nautilus") return FileManagerKind::nautilus;
    return std::nullopt;
}

std::optional<FileManagerView> readFileManagerWindow(FileManagerKind kind, const AccessibleObject& frame,
                                                     const std::string& home, const PathBarNames& names) {
    // The reader holds the frame without owning it; it ends before this returns.
    return FileManagerReader(
               kind,
               std::shared_ptr<const AccessibleObject>(std::shared_ptr<const AccessibleObject>(), &frame),
               home, names)
        .read();
}

}  // namespace larkspire::linux_desktop
