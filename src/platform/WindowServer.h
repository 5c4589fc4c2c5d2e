#pragma once

#include "platform/UIElements.h"
#include "platform/types/DisplayList.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace larkspire {

// One entry of the window server's list; each field is nothing when the entry lacks it.
struct WindowInfo {
    std::optional<std::uint32_t> number;
    std::optional<std::int32_t> ownerProcessIdentifier;
    std::optional<std::int64_t> layer;
    std::optional<Rect> bounds;  // global, origin top-left of the primary screen, y downward
};

namespace WindowListOption {
inline constexpr std::uint32_t onScreenOnly = 1;
inline constexpr std::uint32_t excludeDesktopElements = 16;
}  // namespace WindowListOption

// The windows of every application in the session, and where accessibility meets them.
class WindowServer {
  public:
    virtual ~WindowServer() = default;
    virtual std::vector<WindowInfo> copyWindowInfo(std::uint32_t options) const = 0;  // front to back
    virtual std::optional<std::uint32_t>
    windowNumber(const UIElementRef& window) const = 0;  // nothing for an element that is no window
    virtual bool isSameElement(const UIElementRef& first, const UIElementRef& second) const = 0;
    virtual double primaryScreenHeight() const = 0;  // 0 when there is no screen
};

}  // namespace larkspire
