#pragma once

#include "platform/Clipboard.h"
#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/types/Signal.h"

#include <QMetaObject>

namespace larkspire::qt {

// The desktop's clipboard (the X11 CLIPBOARD selection, or Wayland's where Qt can see it), with the
// cut marks of Linux file managers. Create it on the main thread after the QGuiApplication.
class QtClipboard : public Clipboard {
  public:
    QtClipboard();
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;

    std::int64_t changeCount() const override { return count; }
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return true; }
    FileOperation fileOperation() const override;
    bool writeFiles(const std::vector<std::string>& paths, FileOperation operation) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

  private:
    const ClipboardFiles& current() const;  // read and parsed once per change

    std::int64_t count = 0;
    mutable std::optional<ClipboardFiles> parsed;
    mutable std::int64_t parsedAt = -1;
    Signal changes;
    QMetaObject::Connection connection;
};

}  // namespace larkspire::qt
