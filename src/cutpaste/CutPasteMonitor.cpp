#include "cutpaste/CutPasteMonitor.h"

#include "cutpaste/CutPasteSettings.h"
#include "overlay/FinderOverlayController.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace larkspire {

namespace {

// The paths standardised and sorted, so the same files compare equal whatever order the clipboard gave.
std::vector<std::string> sortedStandardized(std::vector<std::string> listed) {
    for (auto& path : listed) path = standardizedPath(path);
    std::sort(listed.begin(), listed.end());
    return listed;
}

// The index of a file still there, looking from `start` round to the one before it; nothing once
// all have gone. Files before the one found are not looked at.
std::optional<std::size_t> firstStillThere(const std::vector<std::string>& files, std::size_t start,
                                           const FileStillThere& stillThere) {
    for (std::size_t step = 0; step < files.size(); ++step) {
        auto index = (start + step) % files.size();
        if (stillThere(files[index])) return index;
    }
    return std::nullopt;
}

// A cut read from the clipboard, examined off the main thread.
struct ExaminedCut {
    std::vector<std::string> paths;
    std::optional<std::size_t> present;
};

}  // namespace

bool fileStillThere(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

std::string standardizedPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = slash + 1;
    }
    std::string result;
    for (const auto& part : parts) result += "/" + part;
    return result.empty() ? "/" : result;
}

CutPasteMonitor::CutPasteMonitor(Ports ports, NotificationCenter& notifications, FileStillThere stillThere)
    : ports(ports), notifications(notifications), stillThere(std::move(stillThere)), log(ports.log, "cut") {}

// Cut state

std::vector<std::string> CutPasteMonitor::clipboardPaths() const {
    std::vector<std::string> result;
    auto urls = ports.clipboard.fileUrls();
    if (!urls) return result;
    result.reserve(urls->size());
    for (const auto& url : *urls) {
        auto path = ports.clipboard.filePath(url);
        if (!path || path->empty() || path->front() != '/') continue;
        result.push_back(std::move(*path));
    }
    return result;
}

std::vector<std::string> CutPasteMonitor::pasteboardFilePaths() const {
    return sortedStandardized(clipboardPaths());
}

void CutPasteMonitor::setCut(std::vector<std::string> newPaths) {
    if (newPaths == paths) return;
    paths = std::move(newPaths);
    notifications.post(cutStateChanged);
    if (auto badge = overlay.lock()) badge->setCutPaths(paths);
    storeCutPaths();
    ports.distributedNotifications.post(cutChangedNotification);
    pasteboardTimer.reset();
    presentIndex = 0;
    if (!paths.empty()) startPasteboardWatch();
}

void CutPasteMonitor::storeCutPaths() {
    std::size_t bytes = 0;
    for (const auto& path : paths) bytes += path.size();
    if (paths.size() <= maxStoredPaths && bytes <= maxStoredBytes) {
        ports.defaults.set(Settings::cutPathsKey, Value::stringList(paths));
        return;
    }
    // Still cut and shown; other programs read no list rather than an old one.
    log.error("Ausgeschnitten: " + std::to_string(paths.size()) + " Datei(en), " + std::to_string(bytes) +
              " Bytes – zu viel zum Speichern, die Liste wird nicht gespeichert");
    ports.defaults.remove(Settings::cutPathsKey);
}

void CutPasteMonitor::startPasteboardWatch() {
    notedChangeCount = ports.clipboard.changeCount();
    pasteboardTimer = ports.main.scheduleRepeating(
        pasteboardInterval, weakly(weak_from_this(), [](CutPasteMonitor& self) { self.pasteboardTick(); }));
}

void CutPasteMonitor::pasteboardTick() {
    if (clipboardObservation) {
        // Changes of the clipboard arrive by themselves; a paste that moved the files does not. One
        // file still there is enough to know, so the others are looked at only once it has gone.
        if (auto present = firstStillThere(paths, presentIndex, stillThere)) {
            presentIndex = *present;
            return;
        }
        log.info("Ausgeschnittene Dateien nicht mehr vorhanden – Ausschneiden beendet");
        setCut({});
        return;
    }
    if (ports.clipboard.changeCount() == notedChangeCount) return;
    // The same files copied again keep the cut; that change is read once, not on every tick.
    if (pasteboardFilePaths() == paths) {
        notedChangeCount = ports.clipboard.changeCount();
        return;
    }
    log.info("Zwischenablage geändert – Ausschneiden verworfen");
    setCut({});
}

void CutPasteMonitor::rememberCut() {
    setCut({});
    std::int64_t current = ++generation;
    for (double delay : pickupDelays) {
        ports.main.postAfter(
            delay, weakly(weak_from_this(), [current](CutPasteMonitor& self) { self.pickUp(current); }));
    }
}

void CutPasteMonitor::pickUp(std::int64_t forGeneration) {
    // A later ⌘X started attempts of its own; this one is stale.
    if (generation != forGeneration) return;
    // Switched off since the ⌘X: the feature stays off with nothing cut.
    if (!tap) return;
    auto found = pasteboardFilePaths();
    if (found.empty() || found == paths) return;
    log.info("Ausgeschnitten: " + std::to_string(found.size()) + " Datei(en)");
    setCut(std::move(found));
}

void CutPasteMonitor::cancelCut() {
    if (clipboardObservation && !paths.empty()) {
        // The file manager would still move the files on paste; marked as a copy, they are copied.
        if (!ports.clipboard.writeFiles(paths, FileOperation::copy)) {
            log.error("Zwischenablage nicht beschreibbar – Ausschneiden bleibt bestehen");
            return;
        }
        log.info("Ausschneiden verworfen");
        log.info("Zwischenablage: " + std::to_string(paths.size()) + " Datei(en) als Kopie zurückgelegt");
        setCut({});
        return;
    }
    log.info("Ausschneiden verworfen");
    setCut({});
}

// Native cuts

void CutPasteMonitor::followClipboard() {
    if (clipboardObservation) return;
    clipboardObservation = ports.clipboard.observeChanges(
        weakly(weak_from_this(), [](CutPasteMonitor& self) { self.clipboardChanged(); }));
    log.info("Ausschneiden folgt der Zwischenablage des Dateimanagers");
    readNativeCut();  // a cut made before the feature was on
}

void CutPasteMonitor::clipboardChanged() {
    // A change is read at once, so a cut is announced without delay; changes that follow within the
    // settling time are read together at its end, so a burst costs one read per settling time.
    if (clipboardReadPending) {
        clipboardChangedSinceRead = true;
        return;
    }
    ports.main.post(weakly(weak_from_this(), [](CutPasteMonitor& self) {
        if (self.clipboardObservation) self.readNativeCut();
    }));
    settleClipboardReads();
}

void CutPasteMonitor::settleClipboardReads() {
    clipboardReadPending = true;
    ports.main.postAfter(clipboardSettle, weakly(weak_from_this(), [](CutPasteMonitor& self) {
                             self.clipboardReadPending = false;
                             if (!std::exchange(self.clipboardChangedSinceRead, false)) return;
                             if (!self.clipboardObservation) return;
                             self.readNativeCut();
                             self.settleClipboardReads();
                         }));
}

void CutPasteMonitor::readNativeCut() {
    std::vector<std::string> listed;
    if (ports.clipboard.fileOperation() == FileOperation::cut) listed = clipboardPaths();
    auto read = ++nativeReads;
    // Sorting a long list and looking for its files is done in the background.
    ports.work.runConcurrent(
        [listed = std::move(listed), stillThere = stillThere]() mutable {
            auto found = sortedStandardized(std::move(listed));
            auto present = firstStillThere(found, 0, stillThere);
            return std::make_shared<ExaminedCut>(ExaminedCut{std::move(found), present});
        },
        ports.main.bind(weak_from_this(), [read](CutPasteMonitor& self, std::shared_ptr<ExaminedCut> cut) {
            self.takeNativeCut(read, std::move(cut->paths), cut->present);
        }));
}

void CutPasteMonitor::takeNativeCut(std::int64_t forRead, std::vector<std::string> found,
                                    std::optional<std::size_t> present) {
    // Switched off meanwhile, or the clipboard was read again since.
    if (forRead != nativeReads || !clipboardObservation) return;
    // A cut that was pasted already but is still on the clipboard.
    if (!present) found.clear();
    if (found == paths) {
        if (present) presentIndex = *present;
        return;
    }
    if (found.empty()) {
        log.info("Zwischenablage geändert – Ausschneiden verworfen");
        setCut({});
        return;
    }
    log.info("Ausgeschnitten: " + std::to_string(found.size()) + " Datei(en)");
    setCut(std::move(found));
    presentIndex = *present;
}

// Permission

bool CutPasteMonitor::needsPermission() const {
    return !ports.clipboard.marksNativeCuts();
}

bool CutPasteMonitor::hasPermission() const {
    return ports.accessibility.isTrusted();
}

void CutPasteMonitor::requestPermission() {
    ports.accessibility.prompt();
}

void CutPasteMonitor::openAccessibilitySettings() {
    if (auto url =
            Url::parse("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"))
        ports.workspace.open(*url);
}

// Switching

void CutPasteMonitor::update() {
    if (auto badge = overlay.lock()) badge->updateTimer();
    if (!ports.defaults.boolForKey(Settings::cutPasteKey)) {
        permissionTimer.stop();
        stopTap();
        clipboardObservation.reset();
        setCut({});
        return;
    }
    if (ports.clipboard.marksNativeCuts()) {
        followClipboard();
        return;
    }
    if (tap) return;
    if (hasPermission()) {
        auto created = ports.eventTaps.createKeyDownTap(
            [weak = weak_from_this()](std::uint32_t type, const KeyEvent& event) -> std::optional<KeyEvent> {
                auto self = weak.lock();
                if (!self) return event;
                return self->handle(type, event);
            });
        if (!created) {
            log.error("Event-Tap konnte nicht angelegt werden");
            return;
        }
        tap = std::move(created);
        runLoopSource = tap->createRunLoopSource();
        if (runLoopSource) runLoopSource->addToMainRunLoop();
        tap->setEnabled(true);
        log.info("Event-Tap aktiv");
        return;
    }
    log.info("Kein Bedienungshilfen-Zugriff – warte");
    permissionTimer.start(ports.main, ports.accessibility,
                          weakly(weak_from_this(), [](CutPasteMonitor& self) { self.update(); }));
}

void CutPasteMonitor::stopTap() {
    if (tap) {
        tap->setEnabled(false);
        tap->invalidate();
    }
    if (runLoopSource) runLoopSource->removeFromMainRunLoop();
    runLoopSource.reset();
    tap.reset();
}

// Interception

std::optional<KeyEvent> CutPasteMonitor::handle(std::uint32_t type, const KeyEvent& event) {
    if (type == EventType::tapDisabledByTimeout || type == EventType::tapDisabledByUserInput) {
        log.info("Event-Tap wurde deaktiviert (" + std::to_string(type) + ") – wieder einschalten");
        if (tap) tap->setEnabled(true);
        return event;
    }
    if (type != EventType::keyDown) return event;
    // Exactly Command among the four modifiers; Caps Lock, Fn and the like do not matter.
    if ((event.flags & modifierMask) != KeyFlags::command) return event;
    if (event.keyCode != keyX && event.keyCode != keyV) return event;

    auto frontmost = ports.runningApplications.frontmostApplication();
    if (!frontmost || frontmost->bundleIdentifier != std::optional<std::string>(finderBundleIdentifier))
        return event;
    std::int32_t pid = frontmost->processIdentifier;

    if (focusIsTextInput(pid)) {
        log.info("Taste " + std::to_string(event.keyCode) + " im Textfeld – unverändert");
        return event;
    }

    auto weak = weak_from_this();
    if (event.keyCode == keyX) {
        ports.main.post(weakly(weak, [pid](CutPasteMonitor& self) { self.copyStep(pid); }));
        return std::nullopt;
    }

    auto clipboardPaths = pasteboardFilePaths();
    if (paths.empty() || clipboardPaths != paths) {
        log.info("⌘V normal (ausgeschnitten: " + std::to_string(paths.size()) +
                 ", Zwischenablage: " + std::to_string(clipboardPaths.size()) + ")");
        return event;
    }
    std::size_t count = clipboardPaths.size();
    ports.main.post(weakly(weak, [pid, count](CutPasteMonitor& self) { self.moveStep(pid, count); }));
    return std::nullopt;
}

bool CutPasteMonitor::focusIsTextInput(std::int32_t processIdentifier) {
    auto& ui = ports.uiElements;
    auto application = ui.application(processIdentifier);
    ui.setMessagingTimeout(application, focusTimeout);
    // Any failure on the way counts as no text input: the key is then handled as a file command.
    auto focused = ui.copyAttributeValue(application, "AXFocusedUIElement");
    if (focused.error != AXError::success) return false;
    auto element = focused.value.element();
    if (!element || !*element) return false;
    auto role = ui.copyAttributeValue(*element, "AXRole");
    if (role.error != AXError::success) return false;
    auto roleName = role.value.string();
    return roleName && textRoles.count(*roleName) > 0;
}

bool CutPasteMonitor::pressMenuItem(std::int32_t processIdentifier, const std::string& commandChar,
                                    std::int64_t modifiers) {
    auto& ui = ports.uiElements;
    auto application = ui.application(processIdentifier);
    ui.setMessagingTimeout(application, menuTimeout);
    auto menuBar = ui.copyAttributeValue(application, "AXMenuBar");
    if (menuBar.error != AXError::success || !menuBar.value.element() || !*menuBar.value.element())
        return false;

    auto childElements = [&ui](const UIElementRef& element) {
        std::vector<UIElementRef> found;
        auto children = ui.copyAttributeValue(element, "AXChildren");
        if (children.error != AXError::success || !children.value.list()) return found;
        for (const auto& child : *children.value.list())
            if (auto childElement = child.element(); childElement && *childElement)
                found.push_back(*childElement);
        return found;
    };

    // Only the items directly inside each top-level menu count, not those of submenus.
    for (const auto& topLevel : childElements(*menuBar.value.element())) {
        auto menus = childElements(topLevel);
        if (menus.empty()) continue;
        for (const auto& item : childElements(menus.front())) {
            auto character = ui.copyAttributeValue(item, "AXMenuItemCmdChar");
            if (character.error != AXError::success || !character.value.string() ||
                *character.value.string() != commandChar)
                continue;
            auto itemModifiers = ui.copyAttributeValue(item, "AXMenuItemCmdModifiers");
            if (itemModifiers.error != AXError::success || !itemModifiers.value.integer() ||
                *itemModifiers.value.integer() != modifiers)
                continue;
            return ui.performAction(item, "AXPress") == AXError::success;
        }
    }
    return false;
}

void CutPasteMonitor::copyStep(std::int32_t processIdentifier) {
    bool pressed = pressMenuItem(processIdentifier, "C", 0);
    log.info(std::string("⌘X → Kopieren (") + (pressed ? "ok" : "Menüpunkt nicht gefunden") + ")");
    if (pressed) rememberCut();
}

void CutPasteMonitor::moveStep(std::int32_t processIdentifier, std::size_t clipboardCount) {
    bool pressed = pressMenuItem(processIdentifier, "V", menuModifierOption);
    log.info("⌘V → Bewegen " + std::to_string(clipboardCount) + " Datei(en) (" +
             (pressed ? "ok" : "Menüpunkt nicht gefunden") + ")");
    // Cleared whatever the result: a failed move must not leave a cut that can never be pasted.
    ports.main.postAfter(clearAfterMove,
                         weakly(weak_from_this(), [](CutPasteMonitor& self) { self.setCut({}); }));
}

}  // namespace larkspire
