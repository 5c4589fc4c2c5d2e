#include "platform/sim/SimProgramWindows.h"

#include <algorithm>

namespace larkspire::sim {

std::optional<std::string> SimProgramWindows::programUnderPointer() {
    ++questions;
    if (!tells) return std::nullopt;
    for (const auto& window : windows) {
        const auto& f = window.frame;
        if (pointerX >= f.x && pointerX < f.x + f.width && pointerY >= f.y && pointerY < f.y + f.height)
            return window.program;
    }
    return std::string();
}

std::vector<std::string> SimProgramWindows::runningPrograms() {
    if (!tells) return {};
    std::vector<std::string> programs;
    for (const auto& window : windows) programs.push_back(window.program);
    std::sort(programs.begin(), programs.end());
    programs.erase(std::unique(programs.begin(), programs.end()), programs.end());
    return programs;
}

}  // namespace larkspire::sim
