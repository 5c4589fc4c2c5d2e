#pragma once

#include "platform/linux/accessibility/AccessibleObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _AtspiAccessible;
struct _GMainContext;

namespace larkspire::linux_desktop {

// An object on the live accessibility bus. Every call is one or two round trips bounded by the bus
// timeout; all of them must come from the one thread that connected the bus.
class LiveAccessibleObject : public AccessibleObject {
  public:
    explicit LiveAccessibleObject(_AtspiAccessible* adopted);  // takes over one reference
    ~LiveAccessibleObject() override;
    LiveAccessibleObject(const LiveAccessibleObject&) = delete;
    LiveAccessibleObject& operator=(const LiveAccessibleObject&) = delete;

    std::string role() const override;
    std::string name() const override;
    std::vector<std::string> states() const override;
    std::map<std::string, std::string> attributes() const override;
    std::optional<Rect> extents() const override;
    std::optional<std::string> text() const override;
    int childCount() const override;
    std::shared_ptr<const AccessibleObject> child(int index) const override;
    std::optional<std::vector<int>> selectedRows() const override;
    std::shared_ptr<const AccessibleObject> childAtPoint(double x, double y) const override;
    int indexInParent() const override;

    std::int32_t processIdentifier() const;  // 0 when unknown
    _AtspiAccessible* handle() const { return object; }

    // Calls made through any live object so far, to measure what a read costs.
    static std::uint64_t callCount();
    // Calls on this thread answer empty after a program stopped answering, until the next pass starts.
    static void startPass();
    static bool stalled();
    static bool slowedInPass();  // a call of this pass ran into the timeout: its answer may be missing

  private:
    _AtspiAccessible* object;
};

// How long one call on the accessibility bus may take, as the messaging timeout of the badge.
constexpr int accessibilityTimeoutMilliseconds = 200;

// Connects libatspi to the accessibility bus on the calling thread, which then owns every later
// call; its events are dispatched on `context` (the default context when null). Nothing on success;
// otherwise why it cannot. Checks the bus before handing it to libatspi, which ends the process when
// it has none.
std::optional<std::string> connectAccessibilityBus(_GMainContext* context = nullptr);

// The programs on the bus, each the root of its windows.
std::vector<std::shared_ptr<LiveAccessibleObject>> accessibleApplications();

}  // namespace larkspire::linux_desktop
