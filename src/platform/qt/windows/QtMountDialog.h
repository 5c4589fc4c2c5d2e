#pragma once

#include "platform/linux/mounts/MountQuestions.h"

namespace larkspire::qt {

// Asks GIO's question about mounting a share the user opened in a window of its own, and replies
// once it is closed; it returns at once, so GIO's signal never waits on a nested event loop.
void askMountQuestion(const linux_desktop::MountQuestion& question,
                      std::function<void(const linux_desktop::MountAnswer&)> reply);

}  // namespace larkspire::qt
