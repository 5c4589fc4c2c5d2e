#pragma once

#include "platform/Clipboard.h"
#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/types/Signal.h"

#include <memory>

namespace larkspire::gnome {

class ShellExtensionLink;

// The clipboard on GNOME Shell: while Larkspire's extension is attached, each change arrives from
// the Shell as its file lists, whichever program has the focus, and files are written back through
// it; otherwise the fallback (the toolkit's clipboard) serves. Main thread only.
class ShellClipboard : public Clipboard {
  public:
    ShellClipboard(Clipboard& fallback, ShellExtensionLink& link);

    // Called by the link's handlers.
    void attachedChanged();
    void fileListsChanged(const FileClipboardContent& content);

    std::int64_t changeCount() const override { return count; }
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return true; }
    FileOperation fileOperation() const override;
    bool writeFiles(const std::vector<std::string>& paths, FileOperation operation) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

  private:
    bool attached() const;
    void changed();

    Clipboard& fallback;
    ShellExtensionLink& link;
    bool wasAttached = false;
    std::int64_t count = 0;  // grows with every change of either side, so a switch counts as one
    ClipboardFiles files;
    Signal changes;
    std::shared_ptr<void> fallbackObservation;
};

}  // namespace larkspire::gnome
