#include "platform/linux/input/InputAccessibility.h"

#include "platform/linux/input/UdevRule.h"

#include <charconv>
#include <climits>
#include <fstream>
#include <linux/input.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

bool isEventDevice(const std::string& name) {
    return name.size() > 5 && name.starts_with("event") &&
           name.find_first_not_of("0123456789", 5) == std::string::npos;
}

// One of the kernel's capability bitmaps in sysfs: hexadecimal words, the highest first, each as
// wide as the kernel's long.
class Bitmap {
  public:
    explicit Bitmap(const std::filesystem::path& file) {
        std::ifstream in(file);
        std::string word;
        while (in >> word) {
            unsigned long value = 0;
            auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
            if (error != std::errc() || end != word.data() + word.size()) {
                words.clear();
                return;
            }
            words.insert(words.begin(), value);
        }
    }
    bool has(unsigned bit) const {
        constexpr unsigned width = sizeof(unsigned long) * CHAR_BIT;
        return bit / width < words.size() && ((words[bit / width] >> (bit % width)) & 1u) != 0;
    }

  private:
    std::vector<unsigned long> words;  // lowest first
};

// A mouse as udev marks it (relative x and y, a left button) with a wheel Larkspire takes, which
// is not a whole keyboard as well (escape and the first letters): the devices the rule opens.
bool isWheelMouseOnly(const std::filesystem::path& capabilities) {
    Bitmap types(capabilities / "ev"), relative(capabilities / "rel"), keys(capabilities / "key");
    bool wheel = relative.has(REL_WHEEL) || relative.has(REL_HWHEEL) || relative.has(REL_WHEEL_HI_RES) ||
                 relative.has(REL_HWHEEL_HI_RES);
    bool mouse = types.has(EV_REL) && !types.has(EV_ABS) && relative.has(REL_X) && relative.has(REL_Y) &&
                 keys.has(BTN_LEFT);
    bool keyboard = true;
    for (unsigned key = KEY_ESC; key <= KEY_D; ++key) keyboard = keyboard && keys.has(key);
    return mouse && wheel && !keyboard;
}

// Single quotes for the shell, which takes everything between them as it stands.
std::string shellQuoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

}  // namespace

InputAccessibility::InputAccessibility(std::filesystem::path inputFolder, std::filesystem::path uinputDevice,
                                       std::filesystem::path inputClass)
    : inputFolder(std::move(inputFolder)), uinputDevice(std::move(uinputDevice)),
      inputClass(std::move(inputClass)) {}

bool InputAccessibility::isTrusted() const {
    // access() answers for this process's own groups and the ACLs a login session grants, so a
    // group added since the last login correctly counts only after logging in again.
    if (::access(uinputDevice.c_str(), W_OK) != 0) return false;
    std::error_code error;
    std::filesystem::directory_iterator entries(inputFolder, error);
    if (error) return false;
    bool any = false;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        auto name = entries->path().filename().string();
        if (!isEventDevice(name)) continue;
        any = true;
        // Only a device closed to us needs a look at what it is.
        if (::access(entries->path().c_str(), R_OK) != 0 &&
            isWheelMouseOnly(inputClass / name / "device/capabilities"))
            return false;
    }
    return any && !error;
}

void InputAccessibility::prompt() {
    if (promptHandler) promptHandler();
}

std::string InputAccessibility::ruleCommand() {
    // Only the rules themselves travel: the comments of the file are for those who read it there.
    std::string lines;
    std::istringstream rule(udevRule);
    for (std::string line; std::getline(rule, line);)
        if (!line.empty() && line.front() != '#') lines += " " + shellQuoted(line);
    return "printf '%s\\n'" + lines + " | sudo sh -c 'cat > " + ruleDestination +
           " && modprobe uinput && udevadm control --reload && udevadm trigger --subsystem-match=misc "
           "--subsystem-match=input'";
}

std::string InputAccessibility::explanation(const Wording& words) const {
    std::string text =
        words.shown(
            "Für flüssiges Scrollen übernimmt Larkspire die Mäuse (/dev/input/event*) und scrollt über ein "
            "eigenes Eingabegerät (/dev/uinput). Zugriff auf die Tastaturen braucht es dafür nicht: Ob "
            "Strg, Alt oder Super gedrückt ist, sagt unter X11 der X-Server. Unter Wayland erfährt "
            "Larkspire das nur mit Zugriff auf die Tastaturen (Gruppe „input“); ohne ihn scrollt das "
            "Mausrad auch mit diesen Tasten flüssig.") +
        "\n\n";
    std::error_code error;
    if (!std::filesystem::exists(uinputDevice, error))
        text += filled(words.shown("Auf diesem Rechner gibt es %1 nicht – das Kernelmodul „uinput“ ist nicht "
                                   "geladen. „sudo modprobe uinput“ lädt es sofort (das tut auch der Befehl "
                                   "unten), das Debian-Paket bei jedem Start."),
                       {uinputDevice.string()}) +
                "\n\n";
    text +=
        words.shown("Mit dem Debian-Paket von Larkspire ist die udev-Regel dafür schon eingerichtet: Melden "
                    "Sie sich ab und wieder an – mehr ist nicht nötig.") +
        "\n\n" +
        words.shown("Ohne das Paket (etwa nach „make install“) richtet sie dieser eine Befehl ein:") + "\n" +
        ruleCommand() + "\n\n" +
        words.shown("Larkspire bemerkt den Zugriff von selbst und startet das flüssige Scrollen, spätestens "
                    "nach dem nächsten Anmelden.");
    return text;
}

}  // namespace larkspire::linux_desktop
