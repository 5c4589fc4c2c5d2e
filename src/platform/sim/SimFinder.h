#pragma once

#include "platform/sim/SimApplications.h"
#include "platform/sim/SimClipboard.h"
#include "platform/types/DisplayList.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace larkspire::sim {

// A file-manager window showing a folder as a list: a toolbar above a scroll area that holds an
// outline of rows, each row a cell around the item. Geometry is global, origin top-left, y downward.
class SimFinderWindow {
  public:
    static constexpr double toolbarHeight = 52;
    static constexpr double rowHeight = 20;
    static constexpr double itemInset = 24;  // the item's icon and name start after the disclosure space

    SimFinderWindow(int number, std::filesystem::path folder, std::vector<std::string> items)
        : number(number), folder(std::move(folder)), items(std::move(items)) {}
    void select(std::vector<std::string> names) { selection = std::move(names); }  // names inside the folder
    std::vector<std::string> selectedPaths() const;
    void moveTo(double x, double y) { bounds.x = x, bounds.y = y; }
    void scrollTo(double offset) { scrollOffset = offset; }

    Rect contentArea() const;                      // the scroll area's visible rectangle
    Rect rowFrame(std::size_t row) const;          // where a row is, scrolled or not
    Rect itemFrame(std::size_t row) const;         // the item inside the row
    std::vector<std::size_t> visibleRows() const;  // rows the scroll area shows, even in part
    bool isSelected(std::size_t row) const;

    const int number;
    const std::filesystem::path folder;
    std::vector<std::string> items;  // names in display order
    std::vector<std::string> selection;
    Rect bounds{200, 150, 800, 500};
    std::int64_t layer = 0;
    bool onScreen = true;
    double scrollOffset = 0;
    bool hasNumber = true;               // false: the window's number cannot be read
    AXError failure = AXError::success;  // every query to this window's elements fails with it
    double answerDelay = 0;              // its elements answer this late
    bool visibleRowsReadable = true;     // false: the outline answers only its children
};

class SimFinder;

// An element of a file-manager window, as the accessibility interface reaches it.
struct SimFinderElement : SimAppElement {
    enum class Part { window, toolbar, scrollArea, scrollBar, outline, row, cell, item };
    const SimFinder* finder = nullptr;
    int window = 0;
    Part part = Part::window;
    std::size_t row = 0;

    AXResult attribute(const std::string& name) const override;
    AXError failure() const override;
    double answerDelay() const override;
    bool operator==(const SimFinderElement& other) const {
        return processIdentifier == other.processIdentifier && window == other.window && part == other.part &&
               row == other.row;
    }
};

// The simulated file manager (bundle identifier "com.apple.finder"): windows on real folders, and a
// menu bar whose items act on the disk and the clipboard as the real one's do.
class SimFinder : public SimApplication {
  public:
    static constexpr const char* copyItem = "Kopieren";
    static constexpr const char* pasteItem = "Einsetzen";
    static constexpr const char* moveItem = "Objekt hierher bewegen";

    SimFinder(SimClipboard& clipboard, std::int32_t processIdentifier);

    SimFinderWindow& openWindow(const std::filesystem::path& folder);  // comes to the front
    // A window listing `items` of a folder that need not exist on disk.
    SimFinderWindow& openWindow(const std::filesystem::path& folder, std::vector<std::string> items);
    void bringToFront(SimFinderWindow& window);
    void closeWindow(SimFinderWindow& window);
    SimFinderWindow* frontWindow();
    SimFinderWindow* window(int number) const;  // nothing when closed
    const std::vector<std::unique_ptr<SimFinderWindow>>& allWindows() const { return windows; }

    std::optional<AXResult> applicationAttribute(const std::string& attribute, double timeout) const override;
    bool focusedWindowReadable = true;

    // Where the keyboard focus is inside the file manager.
    void startRenaming() { focusedRole = "AXTextField"; }
    void focusSearchField() { focusedRole = "AXSearchField"; }
    void focusFileList() { focusedRole = "AXOutline"; }

    int copies = 0;  // times the copy item put files on the clipboard
    int moves = 0;   // files moved by the move item
    int pastes = 0;  // files copied by the paste item

  private:
    void copySelection();
    void pasteHere(bool move);

    SimClipboard& clipboard;
    std::vector<std::unique_ptr<SimFinderWindow>> windows;  // front window last
    int nextWindowNumber = 7001;
};

}  // namespace larkspire::sim
