#pragma once

#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/DisplayLink.h"
#include "platform/GameModeNotifications.h"
#include "platform/Log.h"
#include "platform/MainDisplay.h"
#include "platform/MainQueue.h"
#include "platform/ProgramWindows.h"
#include "platform/ScrollEventPoster.h"
#include "platform/WheelEventTap.h"
#include "platform/types/PermissionWait.h"
#include "scroll/ScrollEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

struct Ports;

// What the smooth scroller uses of the desktop.
struct SmoothScrollerPorts {
    MainQueue& main;
    Clock& clock;
    DefaultsStore& defaults;
    Accessibility& accessibility;
    Log& log;
    WheelEventHooks& wheelEvents;
    ScrollEventPoster& scrollEvents;
    DisplayLinks& displayLinks;
    MainDisplay& mainDisplay;
    GameModeNotifications& gameMode;
    ProgramWindows& programWindows;

    static SmoothScrollerPorts from(const Ports& ports);  // its share of the application's ports
};

// Takes the wheel events of ordinary mice and replaces each tick by a smooth animation, paused
// while the system's game mode is on and left out over the programs the user excluded.
class SmoothScroller : public std::enable_shared_from_this<SmoothScroller>, private ScrollEngineHost {
  public:
    static constexpr std::int64_t ownEventMarker = 0x4C4B5343;
    static constexpr std::int64_t invertedFromDeviceField = 137;
    static constexpr std::uint64_t modifiersLeftAlone =
        WheelEvent::controlMask | WheelEvent::alternateMask | WheelEvent::commandMask;

    // Registers for game-mode changes on the way, which needs the shared pointer.
    static std::shared_ptr<SmoothScroller> create(SmoothScrollerPorts ports);
    ~SmoothScroller() override;

    void update();  // starts or stops by the "smoothScroll" setting; reads the excluded programs again
    void start();
    void stop();
    TapDecision handle(TapEventType type, const WheelEvent& event);
    void readGameMode();

    bool gameModeActive() const { return gameModeIsActive; }
    bool isOn() const { return tap != nullptr; }
    bool isWaitingForPermission() const { return permissionTimer.isWaiting(); }
    const std::vector<std::string>& excludedPrograms() const { return excluded; }
    const ScrollEngine& engine() const { return scrollEngine; }

  private:
    explicit SmoothScroller(SmoothScrollerPorts ports);
    void registerForGameMode();
    bool overExcludedProgram();

    // The engine's surroundings.
    double displayPixels(bool horizontal) override;
    void postScroll(const SyntheticScroll& scroll) override;
    bool frameClockRuns() const override { return displayLink != nullptr; }
    void startFrameClock() override { startDisplayLink(); }
    void stopFrameClock() override;
    void startDisplayLink();

    SmoothScrollerPorts ports;
    Logger log;
    ScrollEngine scrollEngine;
    std::unique_ptr<WheelEventTap> tap;
    bool runLoopSource = false;
    PermissionWait permissionTimer;
    std::unique_ptr<DisplayLink> displayLink;
    std::int32_t gameModeToken = 0;
    bool gameModeRegistered = false;
    bool gameModeIsActive = false;
    std::vector<std::string> excluded;
    bool toldPointerUnknown = false;
};

}  // namespace larkspire
