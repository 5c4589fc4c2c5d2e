#include "platform/linux/files/AutostartLoginItem.h"

#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/ConfigHome.h"
#include "platform/linux/files/DesktopEntry.h"

#include <cerrno>
#include <fstream>
#include <unistd.h>

namespace larkspire::linux_desktop {

namespace {

std::filesystem::path runningExecutable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    // An executable replaced by an update while running reads as "… (deleted)"; the new one is at the old
    // path.
    auto text = path.string();
    constexpr std::string_view deleted = " (deleted)";
    if (text.ends_with(deleted)) text.erase(text.size() - deleted.size());
    return text;
}

std::string trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

AutostartLoginItem::AutostartLoginItem()
    : AutostartLoginItem(configHome() / "autostart", runningExecutable()) {}

AutostartLoginItem::AutostartLoginItem(std::filesystem::path autostartFolder,
                                       std::filesystem::path executable)
    : folder(std::move(autostartFolder)), executable(std::move(executable)) {}

std::optional<std::string> AutostartLoginItem::execValue(const std::string& executable) {
    return desktopExecArgument(executable);
}

bool AutostartLoginItem::registerItem() {
    auto exec = execValue(executable.string());
    if (!executable.is_absolute() || !exec) return false;
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Larkspire\n"
                        "Comment=Startet Larkspire bei der Anmeldung\n"
                        "Exec=" +
                        *exec +
                        "\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n";
    return !replaceFileAtomically(entryFile(), entry, 0644);
}

bool AutostartLoginItem::unregisterItem() {
    return ::unlink(entryFile().c_str()) == 0 || errno == ENOENT;
}

LoginItemStatus AutostartLoginItem::status() const {
    std::error_code error;
    if (!std::filesystem::is_regular_file(entryFile(), error)) return LoginItemStatus::notRegistered;
    std::ifstream in(entryFile());
    if (!in) return LoginItemStatus::notRegistered;
    std::string line;
    bool inMainGroup = false;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        auto equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos) continue;
        auto key = trimmed(line.substr(0, equals));
        auto value = trimmed(line.substr(equals + 1));
        // Hidden=true is how the user switches an entry off; GNOME's own switch has the same effect.
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return LoginItemStatus::notRegistered;
    }
    return LoginItemStatus::enabled;
}

}  // namespace larkspire::linux_desktop
