#pragma once

#include "platform/ProgramWindows.h"
#include "platform/types/DisplayList.h"

#include <string>
#include <vector>

namespace larkspire::sim {

// The programs' windows of the simulated session, front to back, and where the pointer is.
class SimProgramWindows : public ProgramWindows {
  public:
    struct Window {
        std::string program;
        Rect frame;  // global coordinates, y downward
    };

    std::optional<std::string> programUnderPointer() override;
    std::vector<std::string> runningPrograms() override;

    // A new window in front of the others.
    void open(const std::string& program, Rect frame) { windows.insert(windows.begin(), {program, frame}); }
    void movePointer(double x, double y) {
        pointerX = x;
        pointerY = y;
    }

    std::vector<Window> windows;
    double pointerX = 0, pointerY = 0;
    bool tells = true;  // false: a session that does not say which window is under the pointer
    int questions = 0;  // how often the pointer's program was asked
};

}  // namespace larkspire::sim
