#include "platform/wayland/DataControlClipboard.h"

#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/types/Signal.h"
#include "platform/wayland/DataControlConnection.h"

namespace larkspire::wayland {

// What the main thread knows of the clipboard: the last selection read, or the fallback's while the
// compositor is gone.
struct DataControlClipboard::Mirror {
    Mirror(Log& log, Clipboard& fallback) : log(log, "clipboard"), fallback(fallback) {}

    void selectionRead(ClipboardFiles read) {
        if (lost) return;
        ++count;
        files = std::move(read);
        changes.notify();
    }

    void connectionLost(const std::string& reason) {
        if (lost) return;
        lost = true;
        log.error("Wayland-Datensteuerung beendet: " + reason +
                  " – die Zwischenablage wird wieder über Qt gelesen");
        // The count keeps growing across the switch, so the change is seen.
        fallbackOffset = count + 1 - fallback.changeCount();
        fallbackObservation = fallback.observeChanges([this] { changes.notify(); });
        changes.notify();
    }

    // The compositor's selection follows at once, as a change; until then the clipboard holds nothing.
    void connectionRestored(const std::string& protocol) {
        if (!lost) return;
        count = fallback.changeCount() + fallbackOffset;
        files = {};
        lost = false;
        fallbackObservation.reset();
        log.info("Wayland-Datensteuerung wieder verbunden (" + protocol +
                 ") – die Zwischenablage wird wieder über den Compositor gelesen");
    }

    Logger log;
    Clipboard& fallback;
    std::int64_t count = 0;
    ClipboardFiles files;
    bool lost = false;
    std::int64_t fallbackOffset = 0;
    Signal changes;
    std::shared_ptr<void> fallbackObservation;
};

DataControlClipboard::DataControlClipboard(Log& log, Clipboard& fallback)
    : mirror(std::make_shared<Mirror>(log, fallback)) {}

DataControlClipboard::~DataControlClipboard() {
    connection.reset();  // joins the thread; what it posted finds no mirror and does nothing
}

std::unique_ptr<DataControlClipboard>
DataControlClipboard::connect(MainQueue& main, Log& log, Clipboard& fallback, std::string& reason) {
    std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(log, fallback));
    std::weak_ptr<Mirror> mirror = clipboard->mirror;
    auto opened = DataControlConnection::open({
        .selectionRead = main.bind(
            mirror, [](Mirror& self, ClipboardFiles files) { self.selectionRead(std::move(files)); }),
        .problem =
            main.bind(mirror, [](Mirror& self, const std::string& problem) { self.log.error(problem); }),
        .lost = main.bind(mirror, [](Mirror& self, const std::string& why) { self.connectionLost(why); }),
        .restored = main.bind(
            mirror, [](Mirror& self, const std::string& protocol) { self.connectionRestored(protocol); }),
    });
    if (!opened.connection) {
        reason = opened.reason;
        return nullptr;
    }
    clipboard->connection = std::move(opened.connection);
    return clipboard;
}

const std::string& DataControlClipboard::protocolName() const {
    return connection->protocolName();
}

std::int64_t DataControlClipboard::changeCount() const {
    return mirror->lost ? mirror->fallback.changeCount() + mirror->fallbackOffset : mirror->count;
}

std::optional<std::vector<Url>> DataControlClipboard::fileUrls() const {
    return mirror->lost ? mirror->fallback.fileUrls() : mirror->files.urls;
}

std::optional<std::string> DataControlClipboard::filePath(const Url& fileUrl) const {
    return localFilePath(fileUrl);
}

FileOperation DataControlClipboard::fileOperation() const {
    return mirror->lost ? mirror->fallback.fileOperation() : mirror->files.operationOfFiles();
}

bool DataControlClipboard::writeFiles(const std::vector<std::string>& paths, FileOperation operation) {
    if (mirror->lost) return mirror->fallback.writeFiles(paths, operation);
    auto content = clipboardContentFor(paths, operation);
    if (!connection->writeFiles(content)) return false;
    // Shown at once, as a toolkit's clipboard does; the compositor's echo of it follows as a change.
    ++mirror->count;
    mirror->files = parseClipboardFiles(content);
    return true;
}

std::shared_ptr<void> DataControlClipboard::observeChanges(std::function<void()> changed) {
    return mirror->changes.observe(std::move(changed));
}

}  // namespace larkspire::wayland
