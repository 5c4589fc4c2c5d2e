#pragma once

#include <string>
#include <vector>

namespace larkspire::qt {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Task {
        run,                        // start, or hand `urls` to the running instance
        help,                       // print `usage` and stop
        version,                    // print the version and stop
        snapshot,                   // draw every surface into `value`
        chooseMenuItem,             // a hook for tests: the running instance chooses the entry `value`
        installFileManagerEntries,  // set up the file managers' "Neue Datei" entries and stop
        broken,                     // print `problem` and `usage`, and fail
    };
    Task task = Task::run;
    std::string value;
    std::vector<std::string> urls;
    std::string problem;

    static CommandLine parse(int argc, const char* const* argv);
};

extern const char* const usage;
extern const char* const versionText;  // "larkspire X.Y.Z"

}  // namespace larkspire::qt
