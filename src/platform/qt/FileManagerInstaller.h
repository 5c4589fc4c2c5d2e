#pragma once

#include "platform/linux/FileManagerIntegrations.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::qt {

// What an installation did: the files it wrote, and why the others were left alone.
struct FileManagerInstall {
    std::vector<std::string> written;
    std::vector<std::string> problems;
};

// Installs the "Neue Datei" entries of Nautilus, Dolphin and Thunar, all calling `program`.
// Thunar's uca.xml is merged, never replaced: every other action stays as it is, a symbolic link
// stays a link, the file keeps its mode, and the old contents are saved next to it first.
FileManagerInstall installFileManagerEntries(const std::string& program,
                                             const linux_desktop::FileManagerIntegrations::Places& places);

// The same for the current user, told on the terminal; an autostart entry is pointed at this
// program too. The exit status of the program.
int installFileManagerEntriesFor(const std::string& program);

// `document` (a uca.xml) with Larkspire's action `action` in place of any earlier one, the rest
// kept character for character; nothing, and the reason in `why`, when it is not a uca.xml.
std::optional<QString> withThunarAction(const QString& document, const QString& action,
                                        QString* why = nullptr);

// Larkspire's Thunar action, calling `helper` with the shown folder and the selected item.
QString thunarAction(const std::string& helper);

}  // namespace larkspire::qt
