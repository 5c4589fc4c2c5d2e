#include "scroll/SmoothScroller.h"

#include "platform/Ports.h"
#include "scroll/ExcludedPrograms.h"
#include "scroll/ScrollSettings.h"

#include <string>

namespace larkspire {

SmoothScrollerPorts SmoothScrollerPorts::from(const Ports& ports) {
    return SmoothScrollerPorts{
        .main = ports.main,
        .clock = ports.clock,
        .defaults = ports.defaults,
        .accessibility = ports.accessibility,
        .log = ports.log,
        .wheelEvents = ports.wheelEvents,
        .scrollEvents = ports.scrollEvents,
        .displayLinks = ports.displayLinks,
        .mainDisplay = ports.mainDisplay,
        .gameMode = ports.gameMode,
        .programWindows = ports.programWindows,
    };
}

std::shared_ptr<SmoothScroller> SmoothScroller::create(SmoothScrollerPorts ports) {
    std::shared_ptr<SmoothScroller> scroller(new SmoothScroller(ports));
    scroller->registerForGameMode();
    return scroller;
}

SmoothScroller::SmoothScroller(SmoothScrollerPorts ports)
    : ports(ports), log(ports.log, "scroll"), scrollEngine(ports.clock, *this) {}

SmoothScroller::~SmoothScroller() {
    if (gameModeRegistered) ports.gameMode.cancel(gameModeToken);
    // Nothing may call back into a scroller that is gone.
    if (tap) {
        tap->setEnabled(false);
        tap->invalidate();
    }
    if (displayLink) displayLink->stop();
}

void SmoothScroller::registerForGameMode() {
    std::uint32_t status = ports.gameMode.registerDispatch(
        gameModeToken, weakly(weak_from_this(), [](SmoothScroller& self) { self.readGameMode(); }));
    if (status != 0) {
        log.error("Spielemodus-Benachrichtigung nicht verfügbar (" + std::to_string(status) + ")");
        return;
    }
    gameModeRegistered = true;
    readGameMode();
}

void SmoothScroller::update() {
    excluded = ExcludedPrograms::read(ports.defaults);
    if (ports.defaults.boolForKey(Settings::smoothScrollKey)) {
        start();
    } else {
        stop();
    }
}

void SmoothScroller::start() {
    if (tap) return;
    if (!ports.accessibility.isTrusted()) {
        // Unlike cut and paste, the wait is silent.
        permissionTimer.start(ports.main, ports.accessibility,
                              weakly(weak_from_this(), [](SmoothScroller& self) { self.update(); }));
        return;
    }
    auto created = ports.wheelEvents.createWheelTap(
        [weak = weak_from_this()](TapEventType type, const WheelEvent& event) {
            auto self = weak.lock();
            return self ? self->handle(type, event) : TapDecision::pass;
        });
    if (!created) {
        log.error("Scroll-Tap konnte nicht angelegt werden");
        return;
    }
    tap = std::move(created);
    tap->addToMainRunLoop();
    runLoopSource = true;
    tap->setEnabled(true);
    log.info("Flüssiges Scrollen aktiv");
}

void SmoothScroller::stop() {
    permissionTimer.stop();
    if (tap) {
        tap->setEnabled(false);
        tap->invalidate();
    }
    if (runLoopSource && tap) tap->removeFromMainRunLoop();
    tap.reset();
    runLoopSource = false;
    scrollEngine.finishAnimation(true);
}

TapDecision SmoothScroller::handle(TapEventType type, const WheelEvent& event) {
    if (type == TapEventType::tapDisabledByTimeout || type == TapEventType::tapDisabledByUserInput) {
        if (tap) tap->setEnabled(true);
        return TapDecision::pass;
    }
    if (type != TapEventType::scrollWheel) return TapDecision::pass;
    if (event.userData == ownEventMarker) return TapDecision::pass;
    if (event.isContinuous != 0) return TapDecision::pass;
    if (gameModeIsActive) return TapDecision::pass;
    if ((event.flags & modifiersLeftAlone) != 0) return TapDecision::pass;
    auto taken =
        classifyWheel(event.verticalDelta, event.horizontalDelta, (event.flags & WheelEvent::shiftMask) != 0);
    if (!taken) return TapDecision::pass;
    if (overExcludedProgram()) {
        // The program takes the wheel itself; an animation begun elsewhere must not scroll it on.
        if (scrollEngine.state().animation) scrollEngine.finishAnimation(true);
        return TapDecision::pass;
    }
    scrollEngine.tick(ports.clock.uptime(), taken->direction, taken->horizontal, taken->sign);
    return TapDecision::swallow;
}

// Asked only for a tick that would be taken and only while the list has entries, so scrolling
// without exclusions never waits for the window system.
bool SmoothScroller::overExcludedProgram() {
    if (excluded.empty()) return false;
    auto program = ports.programWindows.programUnderPointer();
    if (!program) {
        if (!toldPointerUnknown)
            log.info("Programm unter dem Mauszeiger unbekannt – die Ausnahmen vom flüssigen Scrollen gelten "
                     "hier nicht");
        toldPointerUnknown = true;
        return false;
    }
    return !program->empty() && ExcludedPrograms::contains(excluded, *program);
}

void SmoothScroller::readGameMode() {
    std::uint64_t state = ports.gameMode.state(gameModeToken);
    bool active = state != 0;
    if (active == gameModeIsActive) return;
    gameModeIsActive = active;
    log.info(std::string("Spielemodus ") + (active ? "an" : "aus") + " (" + std::to_string(state) +
             ") – flüssiges Scrollen " + (active ? "pausiert" : "wieder aktiv"));
    if (active && scrollEngine.state().animation) scrollEngine.finishAnimation(true);
}

double SmoothScroller::displayPixels(bool horizontal) {
    return horizontal ? ports.mainDisplay.pixelsWide() : ports.mainDisplay.pixelsHigh();
}

void SmoothScroller::postScroll(const SyntheticScroll& scroll) {
    ScrollEventFields event{
        .userData = ownEventMarker, .isContinuous = 1, .invertedFromDevice = 1, .flags = 0};
    event.scrollPhase = scroll.scrollPhase;
    event.momentumPhase = scroll.momentumPhase;
    if (scroll.horizontal) {
        event.deltaAxis2 = scroll.lineDelta;
        event.pointDeltaAxis2 = scroll.pointDelta;
        event.fixedPtDeltaAxis2 = scroll.fixedLineDelta;
    } else {
        event.deltaAxis1 = scroll.lineDelta;
        event.pointDeltaAxis1 = scroll.pointDelta;
        event.fixedPtDeltaAxis1 = scroll.fixedLineDelta;
    }
    ports.scrollEvents.postScrollEvent(event);  // one that cannot be made is skipped
}

void SmoothScroller::startDisplayLink() {
    auto link = ports.displayLinks.createWithActiveDisplays();
    if (!link) return;
    // The handler runs on the link's own thread: it only hands the frame to the main queue.
    link->setOutputHandler([&main = ports.main, weak = weak_from_this()] {
        main.postFromAnyThread(weakly(weak, [](SmoothScroller& self) { self.scrollEngine.frame(); }));
    });
    link->start();
    displayLink = std::move(link);
}

void SmoothScroller::stopFrameClock() {
    if (!displayLink) return;
    displayLink->stop();
    displayLink.reset();
}

}  // namespace larkspire
