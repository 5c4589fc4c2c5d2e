#pragma once

#include "platform/linux/files/FileManagerIntegrations.h"

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

// Installs the "Neue Datei" and "Zur Seitenleiste hinzufügen" entries of Nautilus, Dolphin and
// Thunar, all calling `program`.
// Thunar's uca.xml is merged, never replaced: every other action stays as it is, a symbolic link
// stays a link, the file keeps its mode, and the old contents are saved next to it first.
FileManagerInstall installFileManagerEntries(const std::string& program,
                                             const linux_desktop::FileManagerIntegrations::Places& places);

// The same for the current user, told on the terminal; an autostart entry is pointed at this
// program too. The exit status of the program.
int installFileManagerEntriesFor(const std::string& program);

// One of Larkspire's Thunar actions: its unique-id and its <action> element.
struct ThunarAction {
    QString id;
    QString xml;
};

inline constexpr const char* thunarFavoriteActionId = "larkspire-seitenleiste";

// `document` (a uca.xml) with Larkspire's `actions` in place of any earlier ones with the same
// unique-id, the rest kept character for character; nothing, and the reason in `why`, when it is
// not a uca.xml.
std::optional<QString> withThunarActions(const QString& document, const std::vector<ThunarAction>& actions,
                                         QString* why = nullptr);

// "Neue Datei", calling `helper` with the shown folder and the selected item.
ThunarAction thunarAction(const std::string& helper);

// "Zur Seitenleiste hinzufügen" for folders only, calling `helper` with every selected folder.
ThunarAction thunarFavoriteAction(const std::string& helper);

}  // namespace larkspire::qt
