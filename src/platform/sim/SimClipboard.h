#pragma once

#include "platform/Clipboard.h"
#include "platform/MainQueue.h"
#include "platform/types/Signal.h"

#include <map>
#include <memory>

namespace larkspire::sim {

// The general clipboard: holds either files (as file URLs or file-reference URLs) or text.
// By default it behaves like the macOS one (no cut marks); with `nativeCuts` like a Linux desktop's,
// where file managers mark their own cuts. Each change is read from the program that made it, which
// answers at once unless `answerDelay` says otherwise; the virtual clock decides when it answers.
class SimClipboard : public Clipboard {
  public:
    explicit SimClipboard(MainQueue& main) : main(main) {}

    std::int64_t changeCount() const override { return count; }
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return nativeCuts; }
    FileOperation fileOperation() const override;
    bool writeFiles(const std::vector<std::string>& paths, FileOperation marked) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

    // What applications do when the user copies.
    void writeFiles(const std::vector<std::string>& paths);           // plain file URLs
    void writeFileReferences(const std::vector<std::string>& paths);  // file-reference URLs
    void writeText(const std::string& text);
    void writeUrls(const std::vector<Url>& urls);  // anything, e.g. web links
    void clear();

    // What is on it now, as the program that put it there holds it.
    const std::optional<std::string>& text() const { return textContent; }
    std::vector<std::string> paths() const;  // the files on it, as the file manager reads them

    bool readFails = false;   // reading files then gives nothing
    bool writeFails = false;  // another program keeps the clipboard
    bool nativeCuts = false;
    // Seconds the program that makes the next change takes to answer a read of it; nothing: it never
    // answers. A read gives up after `readTimeout`.
    std::optional<double> answerDelay = 0.0;
    mutable int fileListReads = 0;  // times fileUrls() handed out the files, each a whole list to go through

  private:
    struct Content {
        std::vector<Url> urls;
        FileOperation operation = FileOperation::unmarked;
    };
    void replace(std::vector<Url> newUrls, std::optional<std::string> newText, FileOperation marked);
    void read();

    MainQueue& main;
    std::int64_t count = 0;
    std::vector<Url> urls;
    std::optional<std::string> textContent;
    std::map<std::string, std::string> references;  // file-reference URL → path
    int nextReference = 1000;
    FileOperation operation = FileOperation::unmarked;
    std::optional<Content> lastRead = Content{};  // nothing when that read gave up
    TaskToken answer;                             // the read under way
    Signal changes;
};

}  // namespace larkspire::sim
