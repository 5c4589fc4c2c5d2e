#pragma once

#include "platform/FolderSizes.h"
#include "platform/OverlaySurfaces.h"
#include "platform/WindowServer.h"
#include "platform/sim/SimFinder.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace larkspire::sim {

// The window server of the simulated session: the file manager's windows, front to back, and screens.
class SimWindowServer : public WindowServer {
  public:
    std::vector<WindowInfo> copyWindowInfo(std::uint32_t options) const override;
    std::optional<std::uint32_t> windowNumber(const UIElementRef& window) const override;
    bool isSameElement(const UIElementRef& first, const UIElementRef& second) const override;
    double primaryScreenHeight() const override { return screenHeight; }

    double screenHeight = 1080;            // 0: no screen
    std::vector<WindowInfo> otherWindows;  // of other applications, listed after the file manager's
    mutable int listings = 0;
    std::shared_ptr<SimFinder> finder;  // set by the desktop
};

// One overlay window as the simulated window server keeps it.
class SimOverlaySurface : public OverlaySurface {
  public:
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& frame) override { currentFrame = frame; }
    void orderAbove(std::uint32_t windowNumber) override {
        visible = true;
        above = windowNumber;
    }
    void orderOut() override { visible = false; }
    void display(DisplayList content) override {
        shown = std::move(content);
        ++displays;
    }

    Rect currentFrame;
    bool visible = false;
    std::optional<std::uint32_t> above;
    DisplayList shown;
    int displays = 0;
};

class SimOverlaySurfaces : public OverlaySurfaces {
  public:
    std::unique_ptr<OverlaySurface> create() override;
    OverlayColors colors() const override;

    std::vector<std::shared_ptr<SimOverlaySurface>> created;  // every one ever made, in order
    std::vector<SimOverlaySurface*> visible() const;

  private:
    class Handle;
};

// The file tree the simulated file manager's sizes come from, kept in memory.
class SimFileTree : public FolderSizes {
  public:
    void addFile(const std::string& path, std::int64_t size);
    void remove(const std::string& path);  // a file, or a folder with everything below it
    std::int64_t sizeAtPath(const std::string& path) const override;

    mutable std::atomic<int> walks{0};

  private:
    mutable std::mutex mutex;
    std::map<std::string, std::int64_t> files;
};

}  // namespace larkspire::sim
