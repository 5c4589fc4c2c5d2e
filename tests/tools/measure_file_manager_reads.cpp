// Times reads of the file managers' windows over the live accessibility bus, as the watcher makes
// them: a whole read (the window's parts found anew), the items inside the viewport again, their
// selection alone, and the check for scrolling. Usage: measure_file_manager_reads [ROUNDS]
// Prints per window the rows read and, per kind of read, the mean milliseconds and calls.
#include "platform/linux/accessibility/FileManagerView.h"
#include "platform/linux/accessibility/LiveAccessibleObject.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>

using namespace larkspire::linux_desktop;

namespace {

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void measure(const char* what, int rounds, const std::function<void()>& read) {
    auto calls = LiveAccessibleObject::callCount();
    double begin = seconds();
    for (int r = 0; r < rounds; ++r) read();
    double ms = (seconds() - begin) / rounds * 1000;
    std::printf("  %-10s %7.2f ms %6.0f calls\n", what, ms,
                double(LiveAccessibleObject::callCount() - calls) / rounds);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    double started = seconds();
    if (auto problem = connectAccessibilityBus()) {
        std::cerr << *problem << "\n";
        return 1;
    }
    for (const auto& application : accessibleApplications()) {
        auto kind = fileManagerKind(application->name());
        if (!kind) continue;
        int frames = application->childCount();
        for (int i = 0; i < frames; ++i) {
            auto frame = application->child(i);
            if (!frame) continue;
            FileManagerReader reader(*kind, frame);
            double first = seconds();
            auto view = reader.read();
            if (!view) continue;
            std::printf("%s \"%s\": %zu rows inside the viewport, %d selected; first read %.1f ms\n",
                        application->name().c_str(), view->title.c_str(), view->items.size(),
                        int(std::count_if(view->items.begin(), view->items.end(),
                                          [](const FileManagerItem& item) { return item.selected; })),
                        (seconds() - first) * 1000);
            measure("whole", rounds, [&] { reader.read(); });
            measure("items", rounds, [&] { reader.readItems(); });
            measure("selection", rounds, [&] { reader.readSelection(); });
            measure("moved", rounds, [&] { reader.moved(); });
        }
    }
    std::printf("connecting, first contact and all reads: %.0f ms\n", (seconds() - started) * 1000);
    return 0;
}
