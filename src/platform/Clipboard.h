#pragma once

#include "platform/types/Url.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// How the program that put files on the clipboard marked them.
enum class FileOperation { unmarked, copy, cut };

// The general clipboard. Its content is read once per change, off the main thread where the desktop
// allows it, so the files below are those of the last read.
class Clipboard {
  public:
    // How long the program that owns the clipboard has for each answer before a read gives up.
    static constexpr double readTimeout = 2.0;

    virtual ~Clipboard() = default;
    virtual std::int64_t changeCount() const = 0;  // grows on every change by anyone
    virtual std::optional<std::vector<Url>>
    fileUrls() const = 0;  // file URLs only; nothing when the last read failed or gave up
    virtual std::optional<std::string> filePath(
        const Url& fileUrl) const = 0;  // its path; a file-reference URL resolved; nothing when it cannot be

    // True where file managers cut by themselves and mark the cut on the clipboard, so a cut is
    // observed here instead of intercepted at the keyboard.
    virtual bool marksNativeCuts() const = 0;
    virtual FileOperation fileOperation() const = 0;  // unmarked without files
    // Replaces the content with these files, marked as given; false when the clipboard was not taken.
    virtual bool writeFiles(const std::vector<std::string>& paths, FileOperation operation) = 0;
    // Called on the main thread once a change has been read or given up on, for as long as the token
    // lives; changes that come while a read runs are read together after it.
    [[nodiscard]] virtual std::shared_ptr<void> observeChanges(std::function<void()> changed) = 0;
};

}  // namespace larkspire
