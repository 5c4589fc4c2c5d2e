#pragma once

#include "platform/types/DisplayList.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// One object of another program's user interface on the accessibility bus, read lazily: every call
// may be a round trip, so readers ask only for what they use. A recorded tree and the live bus both
// stand behind it. Nothing here throws; a vanished object answers empty.
class AccessibleObject {
  public:
    virtual ~AccessibleObject() = default;
    virtual std::string role() const = 0;                               // the bus's role name: "table cell"
    virtual std::string name() const = 0;                               // empty when it has none
    virtual std::vector<std::string> states() const = 0;                // state names: "selected", "active"
    virtual std::map<std::string, std::string> attributes() const = 0;  // toolkit attributes ("class")
    virtual std::optional<Rect> extents() const = 0;      // as the program reports them; nothing if none
    virtual std::optional<std::string> text() const = 0;  // its text, when it offers the text interface
    virtual int childCount() const = 0;                   // 0 when gone
    virtual std::shared_ptr<const AccessibleObject> child(int index) const = 0;  // null when gone
    virtual std::optional<std::vector<int>> selectedRows() const = 0;  // a table's; nothing otherwise
    // The direct child at a point in the coordinates of `extents`; null when none or unsupported.
    virtual std::shared_ptr<const AccessibleObject> childAtPoint(double x, double y) const = 0;
    virtual int indexInParent() const { return -1; }  // -1 when unknown

    bool hasState(const std::string& state) const;
};

}  // namespace larkspire::linux_desktop
