#pragma once

#include "platform/types/Url.h"

namespace larkspire {

// The desktop's workspace: opening URLs and files with their default application.
class Workspace {
  public:
    virtual ~Workspace() = default;
    virtual bool open(const Url& url) = 0;  // false when nothing could open it
};

}  // namespace larkspire
