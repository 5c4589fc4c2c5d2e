#pragma once

#include "platform/sim/SimApplications.h"
#include "platform/sim/SimClipboard.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace larkspire::sim {

// A file-manager window showing a real folder on disk.
class SimFinderWindow {
  public:
    SimFinderWindow(int number, std::filesystem::path folder) : number(number), folder(std::move(folder)) {}
    void select(std::vector<std::string> names) { selection = std::move(names); }  // names inside the folder
    std::vector<std::string> selectedPaths() const;

    const int number;
    const std::filesystem::path folder;
    std::vector<std::string> selection;
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
    void bringToFront(SimFinderWindow& window);
    SimFinderWindow* frontWindow();

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
