#include "platform/qt/process/CommandLine.h"

#include <string_view>

namespace larkspire::qt {

const char* const usage =
    "Aufruf: larkspire [URL …]\n"
    "Startet Larkspire oder reicht die URLs (quirefold://…) an das laufende Larkspire.\n"
    "\n"
    "  -h, --help                       diese Hilfe zeigen\n"
    "      --version                    die Version zeigen\n"
    "      --snapshot ORDNER            alle Oberflächen als PNG-Bilder in ORDNER zeichnen\n"
    "      --install-file-manager-entries\n"
    "                                   „Neue Datei“ in Nautilus, Dolphin und Thunar "
    "einrichten\n";

const char* const versionText = "larkspire " LARKSPIRE_VERSION;

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    CommandLine line;
    auto broken = [&line](std::string problem) {
        line.task = Task::broken;
        line.problem = std::move(problem);
        return line;
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (optionsEnded || !argument.starts_with('-')) {
            line.urls.emplace_back(argument);
            continue;
        }
        Task task;
        if (argument == "--") {
            optionsEnded = true;
            continue;
        } else if (argument == "-h" || argument == "--help") {
            task = Task::help;
        } else if (argument == "--version") {
            task = Task::version;
        } else if (argument == "--install-file-manager-entries") {
            task = Task::installFileManagerEntries;
        } else if (argument == "--snapshot" || argument == "--choose-menu-item") {
            if (i + 1 >= argc) return broken(std::string(argument) + " braucht einen Wert.");
            task = argument == "--snapshot" ? Task::snapshot : Task::chooseMenuItem;
            line.value = argv[++i];
        } else {
            return broken("Unbekannte Option: " + std::string(argument));
        }
        // Help and version win over everything else, as in other programs.
        if (task == Task::help || line.task == Task::help) {
            line.task = Task::help;
        } else if (task == Task::version || line.task == Task::version) {
            line.task = Task::version;
        } else if (line.task != Task::run) {
            return broken("Nur eine Aufgabe auf einmal.");
        } else {
            line.task = task;
        }
    }
    if (line.task != Task::run && line.task != Task::help && line.task != Task::version && !line.urls.empty())
        return broken("URLs passen nicht zu dieser Option.");
    return line;
}

}  // namespace larkspire::qt
