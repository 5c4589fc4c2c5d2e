#pragma once

#include "platform/Clipboard.h"
#include "platform/types/Signal.h"

#include <map>
#include <memory>

namespace larkspire::sim {

// The general clipboard: holds either files (as file URLs or file-reference URLs) or text.
// By default it behaves like the macOS one (no cut marks); with `nativeCuts` like a Linux desktop's,
// where file managers mark their own cuts.
class SimClipboard : public Clipboard {
  public:
    std::int64_t changeCount() const override { return count; }
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return nativeCuts; }
    FileOperation fileOperation() const override { return operation; }
    bool writeFiles(const std::vector<std::string>& paths, FileOperation marked) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

    // What applications do when the user copies.
    void writeFiles(const std::vector<std::string>& paths);           // plain file URLs
    void writeFileReferences(const std::vector<std::string>& paths);  // file-reference URLs
    void writeText(const std::string& text);
    void writeUrls(const std::vector<Url>& urls);  // anything, e.g. web links
    void clear();

    const std::optional<std::string>& text() const { return textContent; }
    std::vector<std::string> paths() const;  // the files on it, as the file manager reads them

    bool readFails = false;   // reading files then gives nothing
    bool writeFails = false;  // another program keeps the clipboard
    bool nativeCuts = false;

  private:
    void replace(std::vector<Url> newUrls, std::optional<std::string> newText, FileOperation marked);

    std::int64_t count = 0;
    std::vector<Url> urls;
    std::optional<std::string> textContent;
    std::map<std::string, std::string> references;  // file-reference URL → path
    int nextReference = 1000;
    FileOperation operation = FileOperation::unmarked;
    Signal changes;
};

}  // namespace larkspire::sim
