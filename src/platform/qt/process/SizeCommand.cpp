#include "platform/qt/process/SizeCommand.h"

#include "cutpaste/CutPasteMonitor.h"
#include "overlay/ByteCountFormatter.h"
#include "overlay/FinderOverlayController.h"
#include "platform/linux/files/TreeWalk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace larkspire::qt {

namespace {

// The path the kernel would reach: links and ".." before the last name resolved in that order, so
// "b/link/.." is the folder above the link's target. The last name itself stays unresolved, as du
// counts a link and not what it points to. A path that does not exist is only tidied.
std::string kernelPath(const std::string& absolute) {
    std::string trimmed = absolute;
    bool followLast = false;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
        followLast = true;  // "link/" names the folder the link points to
    }
    auto slash = trimmed.rfind('/');
    std::string last = trimmed.substr(slash + 1);
    if (last == "." || last == "..") followLast = true;
    auto resolve = [](const std::string& path) -> std::optional<std::string> {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real) return std::nullopt;
        std::string result = real;
        std::free(real);
        return result;
    };
    if (followLast) return resolve(trimmed).value_or(standardizedPath(absolute));
    if (auto folder = resolve(slash == 0 ? "/" : trimmed.substr(0, slash)))
        return *folder == "/" ? "/" + last : *folder + "/" + last;
    return standardizedPath(absolute);
}

}  // namespace

std::optional<int> runSizeCommand(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--size") != 0) return std::nullopt;
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: larkspire --size PFAD …\n");
        return 2;
    }
    std::string workingFolder;
    if (char* cwd = ::getcwd(nullptr, 0)) {
        workingFolder = cwd;
        std::free(cwd);
    }
    int status = 0;
    std::vector<std::string> paths;
    std::set<std::string> seen;
    for (int i = 2; i < argc; ++i) {
        std::string given = argv[i];
        if (given.empty()) {
            std::fprintf(stderr, "larkspire: ein leerer Pfad wird übergangen\n");
            status = 1;
            continue;
        }
        auto path = kernelPath(given.front() == '/' ? given : workingFolder + "/" + given);
        // A path named twice is counted once, as du does.
        if (!seen.insert(path).second) continue;
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) {
            std::fprintf(stderr, "larkspire: %s: nicht lesbar, zählt 0 Byte\n", given.c_str());
            status = 1;
        }
        paths.push_back(path);
    }
    linux_desktop::TreeWalk walk;
    std::int64_t total = 0;
    for (const auto& path : paths) total += walk.sizeAtPath(path);
    std::printf("%lld\n%s%s\n", static_cast<long long>(total), FinderOverlayController::labelPrefix,
                stringFromByteCount(total).c_str());
    return status;
}

}  // namespace larkspire::qt
