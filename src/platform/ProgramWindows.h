#pragma once

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// The programs that show windows in the session, each named by its window class.
class ProgramWindows {
  public:
    virtual ~ProgramWindows() = default;
    // The program whose window lies under the pointer; "" over none; nothing when the desktop cannot tell.
    virtual std::optional<std::string> programUnderPointer() = 0;
    virtual std::vector<std::string> runningPrograms() = 0;  // each once, sorted; empty when it cannot tell
};

}  // namespace larkspire
