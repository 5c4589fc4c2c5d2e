// Prints what the accessibility-bus watcher reports, one JSON line per report, until standard input
// closes or the given seconds have passed. Usage: watch_file_managers [SECONDS]
// With SECONDS, also prints on standard error the live calls made, to measure what reading costs.
#include "platform/linux/accessibility/AccessibilityBusWatcher.h"
#include "platform/linux/accessibility/LiveAccessibleObject.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace larkspire::linux_desktop;
using nlohmann::json;

namespace {

const char* kindName(FileManagerKind kind) {
    switch (kind) {
    case FileManagerKind::thunar:
        return "thunar";
    case FileManagerKind::nautilus:
        return "nautilus";
    case FileManagerKind::pcmanfmQt:
        return "pcmanfm-qt";
    }
    return "";
}

json rect(const larkspire::Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 0;
    std::mutex out;
    auto started = std::chrono::steady_clock::now();
    AccessibilityBusWatcher watcher([&](std::vector<FileManagerWindow> windows) {
        json report = json::array();
        for (const auto& window : windows) {
            json items = json::array();
            for (const auto& item : window.view.items)
                items.push_back(
                    {{"name", item.name}, {"extents", rect(item.extents)}, {"selected", item.selected}});
            report.push_back({{"pid", window.processIdentifier},
                              {"kind", kindName(window.kind)},
                              {"title", window.view.title},
                              {"active", window.view.active},
                              {"window", window.view.coordinates == Coordinates::window},
                              {"folder", window.view.folder ? json(*window.view.folder) : json()},
                              {"viewport", window.view.viewport ? rect(*window.view.viewport) : json()},
                              {"exposesItems", window.view.exposesItems},
                              {"items", items}});
        }
        double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::lock_guard<std::mutex> guard(out);
        std::cout << json{{"at", at}, {"windows", report}}.dump() << std::endl;
    });
    std::string lastProblem;
    for (;;) {
        pollfd input{0, POLLIN, 0};
        if (seconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        else if (poll(&input, 1, 200) > 0) {
            char buffer[256];
            if (read(0, buffer, sizeof buffer) <= 0) break;
        }
        if (auto problem = watcher.problem(); problem != lastProblem) {
            lastProblem = problem;
            std::lock_guard<std::mutex> guard(out);
            std::cerr << "problem: " << problem << std::endl;
        }
        double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (seconds > 0 && at >= seconds) break;
    }
    std::cerr << "calls: " << LiveAccessibleObject::callCount() << std::endl;
    return 0;
}
