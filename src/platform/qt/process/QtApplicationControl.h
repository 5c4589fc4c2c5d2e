#pragma once

#include "platform/ApplicationControl.h"

namespace larkspire::qt {

class QtApplicationControl : public ApplicationControl {
  public:
    void terminate() override;                  // leaves the event loop once the current work is done
    void activateIgnoringOtherApps() override;  // raises the application's visible windows
};

}  // namespace larkspire::qt
