#pragma once

#include "platform/linux/accessibility/AccessibleObject.h"
#include "platform/types/DisplayList.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// The file managers whose windows are read through the accessibility bus.
enum class FileManagerKind { thunar, nautilus, pcmanfmQt };

// Which file manager a program on the bus is, from its application name; nothing for any other.
std::optional<FileManagerKind> fileManagerKind(const std::string& applicationName);

// Where a view's rectangles are measured from.
enum class Coordinates { screen, window };

struct FileManagerItem {
    std::string name;  // the file's name in its folder
    Rect extents;
    bool selected = false;
    bool operator==(const FileManagerItem&) const = default;
};

// What one file-manager window shows, read from its frame.
struct FileManagerView {
    std::string title;
    bool active = false;
    Coordinates coordinates = Coordinates::screen;
    std::optional<Rect> frame;           // the window's own extents, to match it with the window list
    std::optional<std::string> folder;   // absolute path; nothing when the window does not tell it
    std::optional<Rect> viewport;        // the visible part of the item view; nothing without one
    std::vector<FileManagerItem> items;  // the items inside the viewport, in view order
    bool exposesItems = false;           // false for views that list nothing on the bus
    bool operator==(const FileManagerView&) const = default;
};

// What Nautilus's path bar calls its first button; empty: as this session names it (the home folder in
// Nautilus's own translation for the session's language besides "Home", "/" after os-release's NAME).
struct PathBarNames {
    std::string home;
    std::string system;
};

// Reads one window of a file manager again and again, keeping where its parts are, so that a change
// costs only what it touched. Every call may make round trips; use it from one thread.
class FileManagerReader {
  public:
    FileManagerReader(FileManagerKind kind, std::shared_ptr<const AccessibleObject> frame,
                      std::string home = {}, PathBarNames names = {});
    ~FileManagerReader();
    FileManagerReader(const FileManagerReader&) = delete;
    FileManagerReader& operator=(const FileManagerReader&) = delete;

    std::optional<FileManagerView> read();           // everything, the parts found anew
    std::optional<FileManagerView> readItems();      // the window and the items inside the viewport again
    std::optional<FileManagerView> readSelection();  // only the selection of the items last read
    // A few calls: whether the window, the viewport or the first item moved (scrolling), or rows laid
    // out since the last read came into view.
    bool moved();
    // One call, for views that tell their selected rows at once: whether the selection differs from the
    // last read. Views that answer per item say no.
    bool selectionChanged();
    // Whether the last read saw the window whole: named, its view and folder found, no row half laid
    // out. A program still building its window answers in parts; such a read is no view to show.
    bool complete() const;

  private:
    struct Cache;
    std::unique_ptr<Cache> cache;
};

// Reads a window of that file manager. Visits only what it needs: the path bar or location text, the
// item view, its rows inside the viewport and their selection. Nothing when `frame` is no window.
// `home` stands for the home folder a path bar names "Home"; empty: $HOME.
std::optional<FileManagerView> readFileManagerWindow(FileManagerKind kind, const AccessibleObject& frame,
                                                     const std::string& home = {},
                                                     const PathBarNames& names = {});

}  // namespace larkspire::linux_desktop
