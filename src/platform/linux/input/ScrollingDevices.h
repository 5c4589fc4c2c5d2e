#pragma once

#include "platform/MainQueue.h"
#include "platform/linux/input/EvdevWheelInput.h"
#include "platform/linux/input/EventDeviceIo.h"
#include "platform/linux/input/FrameTimer.h"
#include "platform/linux/input/GameModeDaemon.h"
#include "platform/linux/input/ScreenInfo.h"
#include "platform/linux/system/SystemLog.h"

namespace larkspire::linux_desktop {

// Everything smooth scrolling needs of a Linux session, for the shell to hand out as ports:
// wheelEvents and scrollEvents = input, displayLinks = frames, mainDisplay = screen,
// gameMode = gameMode. The shell keeps `screen` up to date from the primary screen; the
// permission is the InputAccessibility that cut and paste shares.
struct ScrollingDevices {
    explicit ScrollingDevices(MainQueue& main)
        : gameMode(main, &log), input(io, main, EvdevWheelInput::Reading::ownThread, &log),
          frames([this] { return screen.refreshRate(); }) {
        // A game's wheel must not wait for a busy main thread to hear of the game mode.
        input.passWheelWhile([this] { return gameMode.state(0) != 0; });
    }

    SystemLog log;
    KernelEventDeviceIo io;
    GameModeDaemon gameMode;  // before the input, whose reading thread asks it
    EvdevWheelInput input;
    ScreenInfo screen;
    FrameTimers frames;
};

}  // namespace larkspire::linux_desktop
