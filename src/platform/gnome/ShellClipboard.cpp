#include "platform/gnome/ShellClipboard.h"

#include "platform/gnome/ShellExtensionLink.h"

namespace larkspire::gnome {

ShellClipboard::ShellClipboard(Clipboard& fallback, ShellExtensionLink& link)
    : fallback(fallback), link(link) {
    fallbackObservation = fallback.observeChanges([this] {
        if (!attached()) changed();
    });
}

bool ShellClipboard::attached() const {
    return link.isAttached();
}

void ShellClipboard::changed() {
    ++count;
    changes.notify();
}

void ShellClipboard::attachedChanged() {
    if (attached() == wasAttached) return;
    wasAttached = attached();
    // Until the Shell tells the clipboard it has now, nothing is known of it.
    files = {};
    changed();
}

void ShellClipboard::fileListsChanged(const FileClipboardContent& content) {
    if (!attached()) return;
    files = parseClipboardFiles(content);
    changed();
}

std::optional<std::vector<Url>> ShellClipboard::fileUrls() const {
    return attached() ? files.urls : fallback.fileUrls();
}

std::optional<std::string> ShellClipboard::filePath(const Url& fileUrl) const {
    return attached() ? localFilePath(fileUrl) : fallback.filePath(fileUrl);
}

FileOperation ShellClipboard::fileOperation() const {
    return attached() ? files.operationOfFiles() : fallback.fileOperation();
}

bool ShellClipboard::writeFiles(const std::vector<std::string>& paths, FileOperation operation) {
    if (!attached()) return fallback.writeFiles(paths, operation);
    auto content = clipboardContentFor(paths, operation);
    if (!link.writeClipboard(content)) return false;
    // Shown at once, as a toolkit's clipboard does; the Shell's report of it follows as a change.
    ++count;
    files = parseClipboardFiles(content);
    return true;
}

std::shared_ptr<void> ShellClipboard::observeChanges(std::function<void()> changed) {
    return changes.observe(std::move(changed));
}

}  // namespace larkspire::gnome
