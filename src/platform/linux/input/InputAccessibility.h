#pragma once

#include "platform/Accessibility.h"

#include <filesystem>
#include <functional>

namespace larkspire::linux_desktop {

// The permission that watching and driving input needs on Linux: reading the evdev devices and
// writing /dev/uinput. No system dialog grants it, so the prompt is an explanation the shell shows.
class InputAccessibility : public Accessibility {
  public:
    static constexpr const char* permissionMessage = "Larkspire braucht Zugriff auf die Eingabegeräte";
    static constexpr const char* permissionExplanation =
        "Für flüssiges Scrollen liest Larkspire die Eingabegeräte (/dev/input/event*) und erzeugt "
        "über /dev/uinput ein eigenes Eingabegerät. Ihr Benutzerkonto "
        "braucht dafür Lesezugriff auf die Eingabegeräte und Schreibzugriff auf /dev/uinput.\n\n"
        "1. Nehmen Sie Ihr Benutzerkonto in die Gruppe „input“ auf:\n"
        "sudo usermod -aG input \"$USER\"\n\n"
        "2. Geben Sie mit einer udev-Regel auch /dev/uinput dieser Gruppe:\n"
        "echo 'KERNEL==\"uinput\", SUBSYSTEM==\"misc\", GROUP=\"input\", MODE=\"0660\", "
        "OPTIONS+=\"static_node=uinput\"' | sudo tee /etc/udev/rules.d/70-larkspire-uinput.rules\n"
        "sudo modprobe uinput\n"
        "sudo udevadm control --reload-rules && sudo udevadm trigger\n\n"
        "3. Melden Sie sich ab und wieder an. Larkspire bemerkt den Zugriff von selbst und startet "
        "die Funktionen, die ihn brauchen.";

    explicit InputAccessibility(std::filesystem::path inputFolder = "/dev/input",
                                std::filesystem::path uinputDevice = "/dev/uinput");

    // At least one event device, every one of them readable, and the uinput device writable.
    bool isTrusted() const override;
    // Hands over to the handler the shell set, which shows the explanation; nothing without one.
    void prompt() override;
    void setPromptHandler(std::function<void()> handler) { promptHandler = std::move(handler); }

  private:
    std::filesystem::path inputFolder;
    std::filesystem::path uinputDevice;
    std::function<void()> promptHandler;
};

}  // namespace larkspire::linux_desktop
