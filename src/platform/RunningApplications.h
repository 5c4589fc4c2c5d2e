#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace larkspire {

struct RunningApplication {
    std::optional<std::string> bundleIdentifier;  // nothing for a process without one
    std::int32_t processIdentifier = 0;
};

// The applications of the user's session.
class RunningApplications {
  public:
    virtual ~RunningApplications() = default;
    virtual std::optional<RunningApplication>
    frontmostApplication() const = 0;  // the one receiving key presses; nothing when none
};

}  // namespace larkspire
