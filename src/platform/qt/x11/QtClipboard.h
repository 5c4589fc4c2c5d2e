#pragma once

#include "platform/Clipboard.h"
#include "platform/MainQueue.h"
#include "platform/WorkQueue.h"

#include <QMetaObject>

namespace larkspire::qt {

// The desktop's clipboard (the X11 CLIPBOARD selection, or Wayland's where Qt can see it), with the
// cut marks of Linux file managers. Under X11 each change is read on the work queue through a
// connection of its own, because Qt asks the owner on the main thread and waits seconds for an owner
// that does not answer. Create it on the main thread after the QGuiApplication.
class QtClipboard : public Clipboard {
  public:
    QtClipboard(WorkQueue& work, MainQueue& main);
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;

    std::int64_t changeCount() const override;
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return true; }
    FileOperation fileOperation() const override;
    bool writeFiles(const std::vector<std::string>& paths, FileOperation operation) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

  private:
    struct State;
    std::shared_ptr<State> state;
    QMetaObject::Connection connection;
};

}  // namespace larkspire::qt
