#pragma once

#include "platform/Workspace.h"

#include <functional>

namespace larkspire::qt {

// Opens URLs with the desktop's default handlers.
class QtWorkspace : public Workspace {
  public:
    // The system-settings panes the features name have no Linux counterpart; the shell stands in.
    static constexpr const char* systemSettingsScheme = "x-apple.systempreferences";

    bool open(const Url& url) override;
    // Opens a system-settings pane instead of the desktop; false without one means nothing opened.
    std::function<bool(const Url&)> openSystemSettings;
};

}  // namespace larkspire::qt
