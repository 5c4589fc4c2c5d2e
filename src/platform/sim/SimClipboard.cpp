#include "platform/sim/SimClipboard.h"

namespace larkspire::sim {

std::optional<std::vector<Url>> SimClipboard::fileUrls() const {
    if (readFails || !lastRead) return std::nullopt;
    ++fileListReads;
    std::vector<Url> files;
    for (const auto& url : lastRead->urls)
        if (url.isFileUrl()) files.push_back(url);
    return files;
}

FileOperation SimClipboard::fileOperation() const {
    return lastRead ? lastRead->operation : FileOperation::unmarked;
}

std::optional<std::string> SimClipboard::filePath(const Url& fileUrl) const {
    if (!fileUrl.isFileUrl()) return std::nullopt;
    if (fileUrl.path().starts_with("/.file/id=")) {
        auto found = references.find(fileUrl.string());
        if (found == references.end()) return std::nullopt;  // the referenced file is gone
        return found->second;
    }
    return fileUrl.path();
}

void SimClipboard::clear() {
    replace({}, std::nullopt, FileOperation::unmarked);
}

void SimClipboard::writeFiles(const std::vector<std::string>& paths) {
    std::vector<Url> written;
    for (const auto& path : paths) written.push_back(Url::fileUrl(path));
    writeUrls(written);
}

bool SimClipboard::writeFiles(const std::vector<std::string>& paths, FileOperation marked) {
    if (writeFails) return false;
    std::vector<Url> written;
    for (const auto& path : paths) written.push_back(Url::fileUrl(path));
    replace(std::move(written), std::nullopt, marked);
    return true;
}

void SimClipboard::writeFileReferences(const std::vector<std::string>& paths) {
    std::vector<Url> written;
    for (const auto& path : paths) {
        auto url = *Url::parse("file:///.file/id=6571367." + std::to_string(nextReference++));
        references[url.string()] = path;
        written.push_back(url);
    }
    writeUrls(written);
}

void SimClipboard::writeText(const std::string& text) {
    replace({}, text, FileOperation::unmarked);
}

void SimClipboard::writeUrls(const std::vector<Url>& newUrls) {
    replace(newUrls, std::nullopt, FileOperation::unmarked);
}

void SimClipboard::replace(std::vector<Url> newUrls, std::optional<std::string> newText,
                           FileOperation marked) {
    ++count;
    urls = std::move(newUrls);
    textContent = std::move(newText);
    operation = marked;
    read();
}

void SimClipboard::read() {
    // The program that made the change before no longer owns the clipboard: its answer is of no use.
    answer.cancel();
    auto answered = [this] {
        lastRead = Content{urls, urls.empty() ? FileOperation::unmarked : operation};
        changes.notify();
    };
    if (answerDelay && *answerDelay <= 0) {
        answered();
        return;
    }
    if (answerDelay && *answerDelay <= readTimeout) {
        answer = main.postAfter(*answerDelay, answered);
        return;
    }
    answer = main.postAfter(readTimeout, [this] {
        lastRead.reset();
        changes.notify();
    });
}

std::shared_ptr<void> SimClipboard::observeChanges(std::function<void()> changed) {
    return changes.observe(std::move(changed));
}

std::vector<std::string> SimClipboard::paths() const {
    std::vector<std::string> found;
    for (const auto& url : urls)
        if (auto path = filePath(url)) found.push_back(*path);
    return found;
}

}  // namespace larkspire::sim
