#pragma once

namespace larkspire {

// Ends the process the way the platform does, and brings the application to the front.
class ApplicationControl {
  public:
    virtual ~ApplicationControl() = default;
    virtual void terminate() = 0;
    virtual void activateIgnoringOtherApps() = 0;  // bring the application to the front
};

}  // namespace larkspire
