#include "platform/sim/Recorders.h"

#include <algorithm>

namespace larkspire::sim {

int RecordingLog::count(std::string_view category, std::string_view message) const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const LogLine& line) {
        return line.category == category && line.message == message;
    }));
}

}  // namespace larkspire::sim
