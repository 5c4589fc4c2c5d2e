#pragma once

#include "platform/ProgramWindows.h"

#include <memory>
#include <string>

namespace larkspire::qt {

// The programs' windows as the X11 server knows them, named by the class part of WM_CLASS, on a
// connection of its own that is asked only when a wheel turns or a list is wanted. In a Wayland
// session it does not connect: XWayland knows the pointer only over its own windows.
class X11ProgramWindows : public ProgramWindows {
  public:
    X11ProgramWindows();  // the session's display, unless the session is Wayland
    explicit X11ProgramWindows(const std::string& display);  // that display, whatever the session
    ~X11ProgramWindows() override;
    X11ProgramWindows(const X11ProgramWindows&) = delete;
    X11ProgramWindows& operator=(const X11ProgramWindows&) = delete;

    bool isConnected() const;
    std::optional<std::string> programUnderPointer() override;
    std::vector<std::string> runningPrograms() override;

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::qt
