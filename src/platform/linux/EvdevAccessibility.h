#pragma once

#include "platform/Accessibility.h"

#include <string>

namespace larkspire::linux_desktop {

// On Linux the permission to watch and drive input is file access: every event device readable and
// the virtual-device node writable (membership of the "input" group, or a udev rule).
class EvdevAccessibility : public Accessibility {
  public:
    explicit EvdevAccessibility(std::string inputDirectory = "/dev/input",
                                std::string uinputPath = "/dev/uinput");
    bool isTrusted() const override;
    void prompt() override {}  // the system has no request to show; the settings window explains the steps

  private:
    std::string inputDirectory;
    std::string uinputPath;
};

}  // namespace larkspire::linux_desktop
