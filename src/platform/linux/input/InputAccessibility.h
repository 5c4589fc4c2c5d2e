#pragma once

#include "platform/Accessibility.h"
#include "platform/Wording.h"

#include <filesystem>
#include <functional>
#include <string>

namespace larkspire::linux_desktop {

// The permission that smooth scrolling needs on Linux: reading the mice and writing /dev/uinput.
// Larkspire's udev rule grants both to the user at the seat; keyboards are not needed. No system
// dialog grants it, so the prompt is an explanation the shell shows.
class InputAccessibility : public Accessibility {
  public:
    static constexpr const char* permissionMessage = sourceText("Larkspire braucht Zugriff auf die Mäuse");
    static constexpr const char* ruleDestination = "/etc/udev/rules.d/70-larkspire.rules";

    // `inputClass` is where the kernel lists each event device's abilities.
    explicit InputAccessibility(std::filesystem::path inputFolder = "/dev/input",
                                std::filesystem::path uinputDevice = "/dev/uinput",
                                std::filesystem::path inputClass = "/sys/class/input");

    // The uinput device writable and every mouse with a wheel readable, among at least one event
    // device; keyboards may stay closed.
    bool isTrusted() const override;
    // Hands over to the handler the shell set, which shows the explanation; nothing without one.
    void prompt() override;
    void setPromptHandler(std::function<void()> handler) { promptHandler = std::move(handler); }

    // How to grant the access, as the shell shows it: with the package, or with one sudo command
    // that installs the rule; and what is missing on this machine.
    std::string explanation(const Wording& words = sourceWording()) const;
    // That one command, for a shell: writes the rule to ruleDestination, loads uinput, reloads udev.
    static std::string ruleCommand();

  private:
    std::filesystem::path inputFolder;
    std::filesystem::path uinputDevice;
    std::filesystem::path inputClass;
    std::function<void()> promptHandler;
};

}  // namespace larkspire::linux_desktop
