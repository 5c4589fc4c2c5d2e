#include "platform/linux/FileManagerView.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
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

// An item view that lists more widgets than this is not scanned one by one.
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
};

// Items from `start` on while they are inside the viewport.
std::vector<Candidate> walkVisible(const Rows& rows, int start, const Rect& viewport) {
    std::vector<Candidate> found;
    for (int k = std::max(start, 0); k < rows.count && int(found.size()) < mostVisibleItems; ++k) {
        Object item = rows.item(k);
        if (!item) break;
        auto extents = shown(*item);
        if (!extents || extents->y >= bottom(viewport)) break;
        if (intersects(*extents, viewport)) found.push_back({item, *extents});
    }
    return found;
}

// Children that lead the list with the role of column headers; the cells follow, one row per column.
int leadingHeaders(const AccessibleObject& view, Rect& headerArea) {
    int headers = 0;
    int count = std::min(view.childCount(), mostColumns);
    for (; headers < count; ++headers) {
        Object child = view.child(headers);
        if (!child || child->role() != "table column header") break;
        if (headers == 0)
            if (auto extents = shown(*child)) headerArea = *extents;
    }
    return headers;
}

// The viewport of a table below its header row.
Rect belowHeader(const Rect& table, const Rect& header) {
    double top = std::clamp(bottom(header), table.y, bottom(table));
    return {table.x, top, table.width, bottom(table) - top};
}

FileManagerItem rowItem(const std::string& name, const Rect& cell, const Rect& viewport, bool selected) {
    // A row stands for its file across the view's whole width, as a list shows it selected.
    return {name, {viewport.x, cell.y, viewport.width, cell.height}, selected};
}

// Rows of a table whose children are headers and then one cell per column, row by row.
struct CellTable {
    Object view;
    Rect viewport;
    int headers = 0;
    int columns = 1;
    int rows = 0;
};

std::optional<CellTable> cellTable(const Object& view) {
    auto extents = shown(*view);
    if (!extents) return std::nullopt;
    Rect header{extents->x, extents->y, extents->width, 0};
    CellTable table{view, *extents};
    table.headers = leadingHeaders(*view, header);
    table.columns = std::max(table.headers, 1);
    table.rows = std::max(view->childCount() - table.headers, 0) / table.columns;
    table.viewport = belowHeader(*extents, header);
    return table;
}

std::set<int> selectedSet(const AccessibleObject& view) {
    std::set<int> rows;
    if (auto selected = view.selectedRows()) rows.insert(selected->begin(), selected->end());
    return rows;
}

// Thunar lays out only the visible rows; the others share a sentinel, so halving cannot order them. The
// table tells which cell is at the viewport's top instead.
std::vector<FileManagerItem> thunarRows(const CellTable& table) {
    Rows rows{*table.view, table.headers, table.columns, table.rows};
    int start = -1;
    double x = table.viewport.x + table.viewport.width / 2;
    if (Object cell = table.view->childAtPoint(x, table.viewport.y + 1)) {
        int index = cell->indexInParent();
        if (index >= table.headers) start = (index - table.headers) / table.columns;
    }
    if (start < 0) {
        // Without a point lookup: the first laid-out row among the first few hundred.
        for (int k = 0; k < std::min(rows.count, linearScanLimit); ++k) {
            Object item = rows.item(k);
            if (item && shown(*item)) {
                start = k;
                break;
            }
        }
    }
    if (start < 0) return {};
    auto visible = walkVisible(rows, start, table.viewport);
    bool selectionKnown = table.view->selectedRows().has_value();
    std::set<int> selected = selectedSet(*table.view);
    std::vector<FileManagerItem> items;
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const auto& cell = visible[i];
        // The name cell holds the icon cell and then the name.
        Object nameCell = cell.object->childCount() > 1 ? cell.object->child(1) : nullptr;
        std::string name = nameCell ? nameCell->name() : cell.object->name();
        if (!isFileName(name)) continue;
        int row = start + int(i);
        bool isSelected = selectionKnown ? selected.count(row) > 0 : cell.object->hasState("selected");
        items.push_back(rowItem(name, cell.extents, table.viewport, isSelected));
    }
    return items;
}

// pcmanfm-qt lays out every row, so the first visible one is found by halving.
std::vector<FileManagerItem> pcmanfmRows(const CellTable& table) {
    Rows rows{*table.view, table.headers, table.columns, table.rows};
    int start = firstBelowTop(rows, table.viewport);
    auto visible = walkVisible(rows, start, table.viewport);
    bool selectionKnown = table.view->selectedRows().has_value();
    std::set<int> selected = selectedSet(*table.view);
    std::vector<FileManagerItem> items;
    for (std::size_t i = 0; i < visible.size(); ++i) {
        std::string name = visible[i].object->name();
        if (!isFileName(name)) continue;
        int row = start + int(i);
        bool isSelected = selectionKnown ? selected.count(row) > 0 : visible[i].object->hasState("selected");
        items.push_back(rowItem(name, visible[i].extents, table.viewport, isSelected));
    }
    return items;
}

// pcmanfm-qt's icon view lists one item per column of its model for each file; only the first has a
// place. Its table selection stays empty, so each item tells its own.
std::vector<FileManagerItem> pcmanfmIcons(const AccessibleObject& list, const Rect& viewport) {
    int count = list.childCount();
    if (count <= 0) return {};
    int stride = 1;
    for (; stride <= mostColumns && stride < count; ++stride) {
        Object next = list.child(stride);
        if (!next || shown(*next)) break;
    }
    if (stride > mostColumns) stride = 1;
    Rows rows{list, 0, stride, (count + stride - 1) / stride};
    std::vector<FileManagerItem> items;
    for (const auto& icon : walkVisible(rows, firstBelowTop(rows, viewport), viewport)) {
        std::string name = icon.object->name();
        if (isFileName(name)) items.push_back({name, icon.extents, icon.object->hasState("selected")});
    }
    return items;
}

// GTK 4 reuses a few row widgets, so its children are few, but rows scrolled away may keep the place
// they had. The rows really shown are the longest run that advances without overlapping.
std::vector<Candidate> nautilusVisible(const AccessibleObject& view, const Rect& viewport) {
    int count = std::min(view.childCount(), linearScanLimit);
    std::vector<Candidate> best;
    std::vector<Candidate> run;
    for (int i = 0; i < count; ++i) {
        Object child = view.child(i);
        auto extents = child ? shown(*child) : std::nullopt;
        bool inside = extents && intersects(*extents, viewport);
        if (inside && !run.empty()) {
            const Rect& last = run.back().extents;
            bool advances =
                extents->y > last.y || (extents->y == last.y && extents->x >= last.x + last.width);
            bool overlaps = intersects(*extents, last);
            if (!advances || overlaps) {
                if (run.size() >= best.size()) best = run;
                run.clear();
            }
        }
        if (inside) run.push_back({child, *extents});
        if (int(run.size()) >= mostVisibleItems) break;
    }
    if (run.size() >= best.size()) best = run;
    return best;
}

// The name of a Nautilus item: a list row's first cell holds a child named after the file; a grid cell
// holds a cell named so.
std::string nautilusName(const AccessibleObject& item, bool grid) {
    Object first = item.childCount() > 0 ? item.child(0) : nullptr;
    if (!first) return {};
    if (grid) return first->name();
    Object named = first->childCount() > 0 ? first->child(0) : nullptr;
    return named ? named->name() : std::string();
}

std::string homeFolder(const std::string& home) {
    if (!home.empty()) return home;
    const char* env = std::getenv("HOME");
    return env ? env : "";
}

// The path bar of Nautilus: buttons from the root or "Home" down to the current folder.
std::optional<std::string> nautilusPathBar(const Object& bar, const std::string& home) {
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
    if (labels.front() == "Home") {
        auto base = folderPath(homeFolder(home));
        if (!base) return std::nullopt;
        path = *base == "/" ? "" : *base;
    } else if (labels.front() != "/") {
        return std::nullopt;  // a start the rule does not know: better no folder than a wrong one
    }
    for (auto label = labels.begin() + 1; label != labels.end(); ++label) {
        if (!isFileName(*label)) return std::nullopt;
        path += "/" + *label;
    }
    return path.empty() ? "/" : path;
}

FileManagerView frameBasics(const AccessibleObject& frame) {
    FileManagerView view;
    view.title = frame.name();
    view.active = frame.hasState("active");
    view.frame = frame.extents();
    if (view.frame && !view.frame->isFinite()) view.frame.reset();
    return view;
}

void readThunar(const Object& frame, FileManagerView& view) {
    Object pane;
    Search search;
    search.run(frame, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "text" && !view.folder) {
            if (auto text = object->text()) view.folder = folderPath(*text);
            return false;
        }
        if (role == "panel" && !view.folder && firstChildIs(*object, "toggle button")) {
            view.folder = checkedPathBar(*object, "toggle button", "");
            return false;
        }
        if (role == "directory pane") {
            pane = object;
            return false;
        }
        if (role == "page tab") return object->hasState("selected");
        if (pane && view.folder) search.stop = true;
        return role == "frame" || role == "panel" || role == "filler" || role == "tool bar" ||
               role == "split pane" || role == "page tab list";
    });
    if (!pane) return;
    // The details view is a table; the icon and compact views show one panel that lists nothing.
    Object table;
    int count = std::min(pane->childCount(), 8);
    for (int i = 0; i < count && !table; ++i) {
        Object child = pane->child(i);
        if (!child) continue;
        std::string role = child->role();
        if (role == "table" || role == "tree table")
            table = child;
        else if (role == "panel" && !view.viewport)
            view.viewport = shown(*child);
    }
    if (!table) return;
    auto cells = cellTable(table);
    if (!cells) return;
    view.viewport = cells->viewport;
    view.exposesItems = true;
    view.items = thunarRows(*cells);
}

void readPcmanfm(const Object& frame, FileManagerView& view) {
    Object views;
    Search search;
    search.run(frame, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "check box") return false;
        if (role == "filler" && !view.folder && firstChildIs(*object, "check box")) {
            view.folder = checkedPathBar(*object, "check box", "/");
            if (view.folder) return false;
        }
        if (role == "text" && !view.folder) {
            if (auto text = object->text()) view.folder = folderPath(*text);
            return false;
        }
        // The folder views are the pages of the layered pane; the side pane's tree lies outside it.
        if (role == "layered pane") {
            views = object;
            return false;
        }
        if (views && view.folder) search.stop = true;
        return role == "frame" || role == "filler" || role == "tool bar" || role == "split pane" ||
               role == "panel";
    });
    if (!views) return;
    Object itemView;
    Search inside;
    inside.run(views, [&](const Object& object, const std::string& role, const Object&) {
        if (role == "tree" || role == "list" || role == "table") {
            itemView = object;
            inside.stop = true;
            return false;
        }
        return role == "layered pane" || role == "filler" || role == "panel";
    });
    if (!itemView) return;
    if (itemView->role() == "list") {
        auto extents = shown(*itemView);
        if (!extents) return;
        view.viewport = extents;
        view.exposesItems = true;
        view.items = pcmanfmIcons(*itemView, *extents);
        return;
    }
    auto cells = cellTable(itemView);
    if (!cells) return;
    view.viewport = cells->viewport;
    view.exposesItems = true;
    view.items = pcmanfmRows(*cells);
}

void readNautilus(const Object& frame, FileManagerView& view, const std::string& home) {
    Object toolbar;
    Object itemView;
    Object scrollPane;
    bool grid = false;
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
                itemView = object;
                grid = role == "table";
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
                view.folder = nautilusPathBar(content, home);
                bar.stop = true;
            }
            return false;
        });
    }
    if (!itemView) return;
    auto area = scrollPane ? shown(*scrollPane) : shown(*itemView);
    if (!area) return;
    Rect viewport = *area;
    Object items = itemView;
    if (!grid) {
        // A column view holds the header row and then the list of rows.
        Object header = itemView->childCount() > 0 ? itemView->child(0) : nullptr;
        if (auto headerArea = header ? shown(*header) : std::nullopt)
            viewport = belowHeader(*area, *headerArea);
        items = itemView->childCount() > 1 ? itemView->child(1) : nullptr;
        if (!items || items->role() != "list") return;
    }
    view.viewport = viewport;
    view.exposesItems = true;
    for (const auto& item : nautilusVisible(*items, viewport)) {
        std::string name = nautilusName(*item.object, grid);
        if (!isFileName(name)) continue;
        Rect extents =
            grid ? item.extents : Rect{viewport.x, item.extents.y, viewport.width, item.extents.height};
        view.items.push_back({name, extents, item.object->hasState("selected")});
    }
}

// A shared pointer that does not own the frame, so the search can treat it like any other object.
Object borrowed(const AccessibleObject& frame) {
    return Object(std::shared_ptr<const AccessibleObject>(), &frame);
}

}  // namespace

std::optional<FileManagerKind> fileManagerKind(const std::string& applicationName) {
    std::string name = lowered(applicationName);
    if (name == "thunar") return FileManagerKind::thunar;
    if (name == "pcmanfm-qt") return FileManagerKind::pcmanfmQt;
    if (name == "org.gnome.nautilus" || name == "nautilus") return FileManagerKind::nautilus;
    return std::nullopt;
}

std::optional<FileManagerView> readFileManagerWindow(FileManagerKind kind, const AccessibleObject& frame,
                                                     const std::string& home) {
    if (frame.role() != "frame") return std::nullopt;
    FileManagerView view = frameBasics(frame);
    Object root = borrowed(frame);
    switch (kind) {
    case FileManagerKind::thunar:
        readThunar(root, view);
        break;
    case FileManagerKind::pcmanfmQt:
        readPcmanfm(root, view);
        break;
    case FileManagerKind::nautilus:
        view.coordinates = Coordinates::window;
        readNautilus(root, view, home);
        break;
    }
    // Names alone lead nowhere: without the folder no item can stand for a file.
    if (!view.folder) view.items.clear();
    return view;
}

}  // namespace larkspire::linux_desktop
