#pragma once

#include "platform/Clipboard.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

#include <memory>
#include <string>

namespace larkspire::wayland {

class DataControlConnection;

// The clipboard of a Wayland session through the compositor's data control, so cuts are seen
// whichever program has the focus. Each selection is read on the connection's thread and shows here
// parsed, together with its change, so no question waits on another program. While the compositor
// is gone, the fallback (the toolkit's clipboard) stands in; one that opens the same socket again is
// followed anew. Main thread only.
class DataControlClipboard : public Clipboard {
  public:
    // Nothing, with the reason in `reason`, where the session offers no data control.
    static std::unique_ptr<DataControlClipboard> connect(MainQueue& main, Log& log, Clipboard& fallback,
                                                         std::string& reason);
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    const std::string& protocolName() const;

    std::int64_t changeCount() const override;
    std::optional<std::vector<Url>> fileUrls() const override;
    std::optional<std::string> filePath(const Url& fileUrl) const override;
    bool marksNativeCuts() const override { return true; }
    FileOperation fileOperation() const override;
    // Served from this program until another one takes the clipboard.
    bool writeFiles(const std::vector<std::string>& paths, FileOperation operation) override;
    std::shared_ptr<void> observeChanges(std::function<void()> changed) override;

  private:
    struct Mirror;
    DataControlClipboard(Log& log, Clipboard& fallback);

    std::shared_ptr<Mirror> mirror;
    std::unique_ptr<DataControlConnection> connection;  // ends before the mirror it reports to
};

}  // namespace larkspire::wayland
