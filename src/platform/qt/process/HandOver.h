#pragma once

#include "platform/qt/process/SingleInstance.h"

#include <optional>
#include <string>
#include <vector>

namespace larkspire::qt {

// What a start does before any GUI exists, so that it works without a display: hands its URLs (or a
// reopen, or a menu item to choose) to the running instance, or claims to be it. The exit code when
// this process is done; nothing when it is the running instance now.
std::optional<int> handOverBeforeGui(SingleInstance& instance, const std::string& chooseMenuItem,
                                     const std::vector<std::string>& urls);

}  // namespace larkspire::qt
