#include "platform/types/PermissionWait.h"

namespace larkspire {

void PermissionWait::start(MainQueue& main, Accessibility& accessibility, std::function<void()> granted) {
    if (timer) return;
    timer = main.scheduleRepeating(interval, [this, &accessibility, granted = std::move(granted)] {
        if (!accessibility.isTrusted()) return;
        // Dropping the timer destroys this closure, so keep what is needed on the stack first.
        auto then = granted;
        timer.reset();
        then();
    });
}

}  // namespace larkspire
