#include "platform/qt/x11/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace larkspire::qt {

namespace {

// Asks the owner for its list of types once and then only for the types on it: every question is a
// round trip to the other program, which Qt waits for up to its clipboard time-out.
std::optional<std::string> format(const QMimeData& data, const QStringList& offered, const char* type) {
    auto name = QString::fromLatin1(type);
    if (!offered.contains(name)) return std::nullopt;
    return data.data(name).toStdString();
}

}  // namespace

QtClipboard::QtClipboard() {
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    connection = QObject::connect(clipboard, &QClipboard::changed, clipboard, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) return;
        ++count;
        changes.notify();
    });
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(connection);
}

const ClipboardFiles& QtClipboard::current() const {
    if (parsed && parsedAt == count) return *parsed;
    parsed = ClipboardFiles{};
    parsedAt = count;
    auto* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (data) {
        auto offered = data->formats();
        parsed = parseClipboardFiles(FileClipboardContent{
            .uriList = format(*data, offered, ClipboardFormat::uriList),
            .gnomeCopiedFiles = format(*data, offered, ClipboardFormat::gnomeCopiedFiles),
            .mateCopiedFiles = format(*data, offered, ClipboardFormat::mateCopiedFiles),
            .kdeCutSelection = format(*data, offered, ClipboardFormat::kdeCutSelection),
        });
    }
    return *parsed;
}

std::optional<std::vector<Url>> QtClipboard::fileUrls() const {
    return current().urls;
}

std::optional<std::string> QtClipboard::filePath(const Url& fileUrl) const {
    if (!fileUrl.isFileUrl() || !fileUrl.path().starts_with('/')) return std::nullopt;
    return fileUrl.path();
}

FileOperation QtClipboard::fileOperation() const {
    const auto& files = current();
    return files.urls.empty() ? FileOperation::unmarked : files.operation;
}

bool QtClipboard::writeFiles(const std::vector<std::string>& paths, FileOperation operation) {
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    auto content = clipboardContentFor(paths, operation);
    auto* data = new QMimeData;
    auto put = [data](const char* type, const std::optional<std::string>& bytes) {
        if (bytes) data->setData(QString::fromLatin1(type), QByteArray::fromStdString(*bytes));
    };
    put(ClipboardFormat::uriList, content.uriList);
    put(ClipboardFormat::gnomeCopiedFiles, content.gnomeCopiedFiles);
    put(ClipboardFormat::mateCopiedFiles, content.mateCopiedFiles);
    put(ClipboardFormat::kdeCutSelection, content.kdeCutSelection);
    clipboard->setMimeData(data, QClipboard::Clipboard);  // the clipboard owns it now
    // Without a display connection or when another client took it at once, nothing was written.
    return clipboard->ownsClipboard();
}

std::shared_ptr<void> QtClipboard::observeChanges(std::function<void()> changed) {
    return changes.observe(std::move(changed));
}

}  // namespace larkspire::qt
