#pragma once

#include "platform/Workspace.h"

namespace larkspire::qt {

// Opens URLs with the desktop's default handlers.
class QtWorkspace : public Workspace {
  public:
    bool open(const Url& url) override;
};

}  // namespace larkspire::qt
