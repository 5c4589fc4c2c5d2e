#pragma once

#include "platform/MainQueue.h"
#include "platform/linux/EvdevWheelInput.h"
#include "platform/linux/EventDeviceIo.h"
#include "platform/linux/FrameTimer.h"
#include "platform/linux/GameModeDaemon.h"
#include "platform/linux/ScreenInfo.h"

namespace larkspire::linux_desktop {

// Everything smooth scrolling needs of a Linux session, for the shell to hand out as ports:
// wheelEvents and scrollEvents = input, displayLinks = frames, mainDisplay = screen,
// gameMode = gameMode. The shell keeps `screen` up to date from the primary screen; the
// permission is the InputAccessibility that cut and paste shares.
struct ScrollingDevices {
    explicit ScrollingDevices(MainQueue& main)
        : input(io, main), frames([this] { return screen.refreshRate(); }), gameMode(main) {}

    KernelEventDeviceIo io;
    EvdevWheelInput input;
    ScreenInfo screen;
    FrameTimers frames;
    GameModeDaemon gameMode;
};

}  // namespace larkspire::linux_desktop
