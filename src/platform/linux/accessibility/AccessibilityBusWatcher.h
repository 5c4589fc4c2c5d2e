#pragma once

#include "platform/linux/accessibility/FileManagerView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// One window of a file manager as the accessibility bus last showed it.
struct FileManagerWindow {
    std::int32_t processIdentifier = 0;
    FileManagerKind kind = FileManagerKind::thunar;
    FileManagerView view;
    bool operator==(const FileManagerWindow&) const = default;
};

// Keeps what the file managers' windows show, read on its own thread from the accessibility bus and
// kept current by the bus's events, so no caller ever waits for a round trip.
class AccessibilityBusWatcher {
  public:
    // Called on the watcher's thread with every window of every file manager whenever any changed.
    using ChangeHandler = std::function<void(std::vector<FileManagerWindow>)>;

    // Starts watching at once; without an accessibility bus it keeps trying quietly and says why once.
    explicit AccessibilityBusWatcher(ChangeHandler onChange);
    ~AccessibilityBusWatcher();  // stops the thread; no handler call runs after it returns
    AccessibilityBusWatcher(const AccessibilityBusWatcher&) = delete;
    AccessibilityBusWatcher& operator=(const AccessibilityBusWatcher&) = delete;

    // Whether reading is wanted at all; while false the watcher reads nothing and drops its cache.
    void setWanted(bool wanted);
    // Something is cut: scrolled lists and moved windows, which send no events, are looked for once a
    // second even where nothing is selected.
    void setWatchClosely(bool closely);
    std::string problem() const;  // why nothing can be read; empty while reading works

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::linux_desktop
