#pragma once

#include "platform/Ports.h"
#include "platform/types/NotificationCenter.h"
#include "platform/types/PermissionWait.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace larkspire {

class FinderOverlayController;

// Whether a cut file is still where it was; one that cannot be looked at (no permission, a share that
// is gone) has not moved. Called on background threads.
using FileStillThere = std::function<bool(const std::string& path)>;
bool fileStillThere(const std::string& path);  // asks the file system

// Cut and paste of files in the file manager: ⌘X copies the selection and remembers it as cut,
// ⌘V then moves exactly those files. Owns the cut list and the keyboard tap. Where file managers cut
// by themselves and mark it on the clipboard, the cut list follows the clipboard instead, without a tap.
class CutPasteMonitor : public std::enable_shared_from_this<CutPasteMonitor> {
  public:
    static constexpr const char* cutStateChanged = "CutPasteMonitor.cutStateChanged";
    static constexpr const char* cutChangedNotification = "de.halvik.Quirefold.cutChanged";
    static constexpr const char* finderBundleIdentifier = "com.apple.finder";
    static constexpr std::int64_t keyX = 7;
    static constexpr std::int64_t keyV = 9;
    static constexpr std::uint64_t modifierMask = 0x1E0000;  // Shift, Control, Option, Command
    static constexpr double pasteboardInterval = 0.5;
    static constexpr double clearAfterMove = 0.5;
    static constexpr double pickupDelays[] = {0.15, 0.4, 1.0};
    static constexpr double focusTimeout = 0.25;
    static constexpr double menuTimeout = 0.5;
    static constexpr double clipboardSettle = 0.05;
    // What a cut list may hold to be stored for other programs; a bigger one would crowd out the
    // other settings in the same file.
    static constexpr std::size_t maxStoredPaths = 100'000;
    static constexpr std::size_t maxStoredBytes = 4 << 20;
    // Modifier sets of menu items: 0 is Command alone.
    static constexpr std::int64_t menuModifierOption = 2;

    CutPasteMonitor(Ports ports, NotificationCenter& notifications,
                    FileStillThere stillThere = fileStillThere);
    // The badge controller greys cut items and follows this feature's switching.
    void setOverlayController(std::weak_ptr<FinderOverlayController> controller) {
        overlay = std::move(controller);
    }

    // Cut state.
    const std::vector<std::string>& cutPaths() const { return paths; }
    std::int64_t cutGeneration() const { return generation; }
    std::vector<std::string> pasteboardFilePaths() const;  // sorted, standardised
    void setCut(std::vector<std::string> newPaths);        // `newPaths` sorted and standardised
    void rememberCut();
    void cancelCut();

    // Permission.
    bool needsPermission() const;  // false where cuts are only observed on the clipboard
    bool hasPermission() const;
    void requestPermission();
    void openAccessibilitySettings();

    // Switching and interception.
    void update();  // reads "finderCutPaste"; installs or removes the tap, or waits for the permission
    std::optional<KeyEvent> handle(std::uint32_t type, const KeyEvent& event);  // nothing: swallowed
    bool pressMenuItem(std::int32_t processIdentifier, const std::string& commandChar,
                       std::int64_t modifiers);

    bool isTapInstalled() const { return tap != nullptr; }
    bool isWaitingForPermission() const { return permissionTimer.isWaiting(); }
    bool followsClipboard() const { return clipboardObservation != nullptr; }

  private:
    void stopTap();
    void startPasteboardWatch();
    void pasteboardTick();
    void followClipboard();
    void clipboardChanged();
    void settleClipboardReads();
    void readNativeCut();
    void takeNativeCut(std::int64_t forRead, std::vector<std::string> found,
                       std::optional<std::size_t> present);
    std::vector<std::string> clipboardPaths() const;  // as listed, absolute
    void storeCutPaths();                             // for other programs, where it fits
    void pickUp(std::int64_t forGeneration);
    bool focusIsTextInput(std::int32_t processIdentifier);
    void copyStep(std::int32_t processIdentifier);
    void moveStep(std::int32_t processIdentifier, std::size_t clipboardCount);

    Ports ports;
    NotificationCenter& notifications;
    FileStillThere stillThere;
    Logger log;
    const std::set<std::string> textRoles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField"};

    std::vector<std::string> paths;
    std::int64_t generation = 0;
    std::optional<RepeatingTimer> pasteboardTimer;
    std::int64_t notedChangeCount = 0;
    std::shared_ptr<void> clipboardObservation;
    bool clipboardReadPending = false;       // a burst is settling
    bool clipboardChangedSinceRead = false;  // and changed again since its first read
    std::int64_t nativeReads = 0;            // the latest read's result is the only one taken
    std::size_t presentIndex = 0;            // of a cut file last seen where it was

    std::unique_ptr<KeyboardTap> tap;
    std::unique_ptr<RunLoopSource> runLoopSource;
    PermissionWait permissionTimer;
    std::weak_ptr<FinderOverlayController> overlay;
};

// A file path with "." and ".." resolved, doubled and trailing slashes removed.
std::string standardizedPath(const std::string& path);

}  // namespace larkspire
