#pragma once

#include "platform/linux/clipboard/ClipboardFiles.h"

#include <functional>
#include <memory>
#include <string>

namespace larkspire::wayland {

// The compositor's clipboard through data control (ext-data-control-v1, else wlr-data-control), on a
// Wayland connection and a thread of its own, so it sees every change whichever program has the focus
// and whatever platform Qt runs on. Each new selection is read in the file managers' formats and
// handed over parsed; files put on the clipboard are served from here until another program
// replaces them. A compositor that goes away is followed when one opens the same socket again. The
// thread sleeps on its descriptors while nothing happens.
class DataControlConnection {
  public:
    // Called on the connection's thread; each hands over to the main thread by itself.
    struct Handlers {
        std::function<void(ClipboardFiles)> selectionRead;  // every new selection, parsed
        std::function<void(std::string)> problem;           // a selection read only in part, and why
        std::function<void(std::string)> lost;              // once, when the compositor went away
        std::function<void(std::string)> restored;          // back on the same socket, with the protocol
    };
    struct Opened {
        std::unique_ptr<DataControlConnection> connection;
        std::string reason;  // why there is none
    };

    // Connects to the compositor named by WAYLAND_DISPLAY and starts reading its clipboard. Nothing,
    // with the reason, where there is no Wayland session or the compositor offers no data control.
    static Opened open(Handlers handlers);
    ~DataControlConnection();  // stops the thread and ends the connection
    DataControlConnection(const DataControlConnection&) = delete;
    DataControlConnection& operator=(const DataControlConnection&) = delete;

    const std::string& protocolName() const;
    // Puts this content on the clipboard, every format it has; false once the compositor is gone.
    bool writeFiles(const FileClipboardContent& content);

    class Session;

  private:
    explicit DataControlConnection(std::unique_ptr<Session> session);
    std::unique_ptr<Session> session;
};

}  // namespace larkspire::wayland
