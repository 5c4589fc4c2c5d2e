#include "platform/qt/process/FileManagerInstaller.h"

#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/AutostartLoginItem.h"
#include "platform/linux/files/DesktopEntry.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace larkspire::qt {

namespace fs = std::filesystem;
using linux_desktop::FileManagerIntegrations;

namespace {

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return content.str();
}

std::optional<mode_t> modeOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::nullopt;
    return info.st_mode & 07777;
}

std::string resource(const char* name) {
    QFile file(QString(":/larkspire/integrations/") + name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (auto at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

const char* emptyDocument = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

// Thunar expands %-codes before it splits the command like a shell, so the path is one
// single-quoted word with its own percent signs doubled.
std::string thunarCommand(const std::string& helper, const char* arguments) {
    return linux_desktop::shellWord(replaced(helper, "%", "%%")) + " " + arguments;
}

QString actionXml(const char* icon, const char* name, const char* id, const std::string& command,
                  const char* description, std::initializer_list<const char*> kinds) {
    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(-1);
    xml.writeStartElement("action");
    xml.writeTextElement("icon", icon);
    xml.writeTextElement("name", name);
    xml.writeTextElement("submenu", "");
    xml.writeTextElement("unique-id", id);
    xml.writeTextElement("command", QString::fromStdString(command));
    xml.writeTextElement("description", description);
    xml.writeTextElement("range", "");
    xml.writeTextElement("patterns", "*");
    for (auto kind : kinds) xml.writeEmptyElement(kind);
    xml.writeEndElement();
    return text.trimmed();
}

}  // namespace

ThunarAction thunarAction(const std::string& helper) {
    return {FileManagerIntegrations::thunarActionId,
            actionXml("document-new", "Neue Datei", FileManagerIntegrations::thunarActionId,
                      thunarCommand(helper, "--dir %d --sel %f"), "Eine leere Datei anlegen",
                      {"startup-notify", "directories", "audio-files", "image-files", "other-files",
                       "text-files", "video-files"})};
}

ThunarAction thunarFavoriteAction(const std::string& helper) {
    return {thunarFavoriteActionId, actionXml("bookmark-new", "Zur Seitenleiste hinzufügen",
                                              thunarFavoriteActionId, thunarCommand(helper, "%F"),
                                              "Die Ordner in die Seitenleiste aufnehmen", {"directories"})};
}

std::optional<QString> withThunarActions(const QString& document, const std::vector<ThunarAction>& actions,
                                         QString* why) {
    auto fail = [why](const QString& reason) -> std::optional<QString> {
        if (why) *why = reason;
        return std::nullopt;
    };
    struct Range {
        qsizetype start, end;
    };
    std::vector<Range> earlier;  // our actions from an earlier installation
    qsizetype rootStart = -1, rootEnd = -1, closeStart = -1, closeEnd = -1;
    qsizetype actionStart = -1;
    bool ours = false;
    int depth = 0;
    QString element;  // the innermost open element inside an action

    // The reader's offset after a tag is just past its '>'; after text it may have looked ahead, so
    // positions are only taken from tags.
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        auto token = xml.readNext();
        qsizetype end = xml.characterOffset();
        switch (token) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 1) {
                if (xml.name() != u"actions") return fail("Das Wurzelelement ist nicht <actions>.");
                rootEnd = end;
                rootStart = document.lastIndexOf(u'<', end - 1);
            } else if (depth == 2 && xml.name() == u"action") {
                actionStart = document.lastIndexOf(u'<', end - 1);
                ours = false;
            }
            element = xml.name().toString();
            break;
        case QXmlStreamReader::Characters:
            if (depth == 3 && element == u"unique-id")
                for (const auto& action : actions)
                    if (xml.text().trimmed() == action.id) ours = true;
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2 && xml.name() == u"action" && ours) {
                // With the line end written after it, so that installing again changes nothing.
                auto after = end;
                if (document.mid(after, 2) == u"\r\n")
                    after += 2;
                else if (document.mid(after, 1) == u"\n")
                    after += 1;
                earlier.push_back({actionStart, after});
            }
            if (depth == 1) {
                closeEnd = end;
                closeStart = end == rootEnd ? rootEnd : document.lastIndexOf(u'<', end - 1);
            }
            --depth;
            element.clear();
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) return fail(QString("Zeile %1: %2").arg(xml.lineNumber()).arg(xml.errorString()));
    if (rootStart < 0 || closeStart < 0) return fail("Das Element <actions> fehlt.");

    QString merged;
    qsizetype from = 0;
    for (const auto& range : earlier) {
        merged += QStringView(document).mid(from, range.start - from);
        from = range.end;
    }
    QString ourActions;
    for (const auto& action : actions) ourActions += action.xml + "\n";
    if (closeEnd == rootEnd) {
        // <actions/>: opened up around our actions.
        merged += QStringView(document).mid(from, rootEnd - 2 - from);
        merged += ">\n" + ourActions + "</actions>";
        merged += QStringView(document).mid(rootEnd);
    } else {
        merged += QStringView(document).mid(from, closeStart - from);
        merged += ourActions;
        merged += QStringView(document).mid(closeStart);
    }
    return merged;
}

namespace {

fs::path favoriteHelper(const FileManagerIntegrations::Places& places) {
    return places.newFileHelper.parent_path() / "larkspire-add-favorite";
}

// "Zur Seitenleiste hinzufügen" for folders, beside "Neue Datei": one "path" item per selected
// folder. True when the helper is in place.
template <class Write>
bool installFavoriteEntries(const std::string& program, const FileManagerIntegrations::Places& places,
                            Write& write, FileManagerInstall& result) {
    auto helperScript = resource("larkspire-add-favorite");
    auto nautilusScript = resource("nautilus/zur-seitenleiste.sh");
    if (helperScript.empty() || nautilusScript.empty()) {
        result.problems.push_back("Die Vorlagen der Seitenleisten-Einträge fehlen im Programm.");
        return false;
    }
    auto helperPath = favoriteHelper(places);
    const auto helper = helperPath.string();
    if (!write(helperPath, replaced(helperScript, "@LARKSPIRE@", linux_desktop::shellWord(program)), 0755))
        return false;
    write(places.nautilusScript.parent_path() / "Zur Seitenleiste hinzufügen",
          replaced(nautilusScript, "@FAVORITE_HELPER@", linux_desktop::shellWord(helper)), 0755);
    auto exec = linux_desktop::desktopExecArgument(helper);
    if (!exec) {
        result.problems.push_back("Dolphin: der Pfad " + helper + " passt in keinen Desktop-Eintrag.");
        return true;
    }
    std::string menu = "[Desktop Entry]\n"
                       "Type=Service\n"
                       "MimeType=inode/directory;\n"
                       "Actions=larkspireSeitenleiste;\n"
                       "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                       "X-KDE-Priority=TopLevel\n"
                       "\n"
                       "[Desktop Action larkspireSeitenleiste]\n"
                       "Name=Zur Seitenleiste hinzufügen\n"
                       "Icon=bookmark-new\n"
                       "Exec=" +
                       *exec + " %F\n";
    for (const auto& place : places.dolphinServiceMenus)
        write(place.parent_path() / "larkspire-seitenleiste.desktop", menu, 0755);
    return true;
}

}  // namespace

FileManagerInstall installFileManagerEntries(const std::string& program,
                                             const FileManagerIntegrations::Places& places) {
    FileManagerInstall result;
    // A file manager runs an entry only while it is executable, so `mode`, when given, is set on a file
    // already standing there too. Without it a new file gets 0644 and an old one keeps its mode.
    auto write = [&result](const fs::path& path, const std::string& contents, std::optional<mode_t> mode) {
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        auto target = linux_desktop::resolvedLinks(path);
        if (auto old = readFile(target); !old || *old != contents) {
            if (auto problem = linux_desktop::replaceFileAtomically(target, contents, mode.value_or(0644))) {
                result.problems.push_back(path.string() + ": " + *problem);
                return false;
            }
        } else if (!mode || modeOf(target) == *mode) {
            return true;
        }
        // The file replaced above passed its old mode on.
        if (mode && ::chmod(target.c_str(), *mode) != 0) {
            result.problems.push_back(path.string() + ": Rechte setzen: " + linux_desktop::errorText(errno));
            return false;
        }
        result.written.push_back(path.string());
        return true;
    };
    const auto& helper = places.newFileHelper.string();

    auto helperScript = resource("larkspire-new-file");
    auto nautilusScript = resource("nautilus/neue-datei.sh");
    if (helperScript.empty() || nautilusScript.empty()) {
        result.problems.push_back("Die Vorlagen der Dateimanager-Einträge fehlen im Programm.");
        return result;
    }
    if (!write(places.newFileHelper, replaced(helperScript, "@LARKSPIRE@", linux_desktop::shellWord(program)),
               0755))
        return result;
    write(places.nautilusScript, replaced(nautilusScript, "@HELPER@", linux_desktop::shellWord(helper)),
          0755);

    if (auto exec = linux_desktop::desktopExecArgument(helper)) {
        std::string menu = "[Desktop Entry]\n"
                           "Type=Service\n"
                           "MimeType=inode/directory;application/octet-stream;all/allfiles;\n"
                           "Actions=larkspireNeueDatei;\n"
                           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                           "X-KDE-Priority=TopLevel\n"
                           "\n"
                           "[Desktop Action larkspireNeueDatei]\n"
                           "Name=Neue Datei\n"
                           "Icon=document-new\n"
                           "Exec=" +
                           *exec + " --sel %f\n";
        // Newer Dolphin versions only run service menus marked executable.
        for (const auto& place : places.dolphinServiceMenus) write(place, menu, 0755);
    } else {
        result.problems.push_back("Dolphin: der Pfad " + helper + " passt in keinen Desktop-Eintrag.");
    }

    std::vector<ThunarAction> thunarActions{thunarAction(helper)};
    if (installFavoriteEntries(program, places, write, result))
        thunarActions.push_back(thunarFavoriteAction(favoriteHelper(places).string()));

    // Thunar shows the shared actions only while the user has no uca.xml of their own, so a new one
    // starts as a copy of the shared file.
    auto own = readFile(places.thunarActions);
    std::optional<std::string> start = own;
    if (own && own->find_first_not_of(" \t\r\n") == std::string::npos)
        start.reset();  // an empty file holds nothing
    for (const auto& shared : places.systemThunarActions) {
        if (start) break;
        start = readFile(shared);
    }
    auto bytes = start.value_or(emptyDocument);
    auto document = QString::fromUtf8(bytes);
    QString why;
    std::optional<QString> merged;
    if (document.toUtf8().toStdString() != bytes)
        why = "kein UTF-8";
    else
        merged = withThunarActions(document, thunarActions, &why);
    if (!merged) {
        result.problems.push_back("Thunar: " + places.thunarActions.string() + " blieb unverändert (" +
                                  why.toStdString() + ").");
        return result;
    }
    auto contents = merged->toUtf8().toStdString();
    if (own && *own == contents) return result;
    if (own) {
        auto backup = places.thunarActions;
        backup += ".larkspire-backup";
        if (auto problem = linux_desktop::replaceFileAtomically(backup, *own, 0600)) {
            result.problems.push_back("Thunar: keine Sicherung möglich (" + *problem + "), nichts geändert.");
            return result;
        }
    }
    write(places.thunarActions, contents, std::nullopt);
    return result;
}

}  // namespace larkspire::qt

namespace larkspire::qt {

int installFileManagerEntriesFor(const std::string& program) {
    auto result = installFileManagerEntries(program, FileManagerIntegrations::userPlaces());
    // A login entry written by an earlier copy, from a build folder say, follows the program here.
    linux_desktop::AutostartLoginItem login;
    if (login.status() == LoginItemStatus::enabled && login.registerItem())
        result.written.push_back(login.entryFile().string());
    for (const auto& path : result.written) std::printf("Eingerichtet: %s\n", path.c_str());
    for (const auto& problem : result.problems) std::fprintf(stderr, "%s\n", problem.c_str());
    return result.problems.empty() ? 0 : 1;
}

}  // namespace larkspire::qt
