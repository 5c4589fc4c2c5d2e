#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

// An element of another application's user interface, opaque to features.
class UIElement {
  public:
    virtual ~UIElement() = default;
};
using UIElementRef = std::shared_ptr<const UIElement>;

// The platform's accessibility result codes.
enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    cannotComplete = -25204,  // among others: the application did not answer in time
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    apiDisabled = -25211,
    noValue = -25212,
};

// A point or a size packed as the accessibility interface packs them (`AXValueGetValue`).
struct AXGeometry {
    enum class Type : std::int32_t { point = 1, size = 2 };
    Type type = Type::point;
    double first = 0;   // x or width
    double second = 0;  // y or height
};

// An attribute's value: nothing, an element, a string, an integer (booleans too), a list of values or
// a packed point or size.
struct AXValue {
    using List = std::vector<AXValue>;
    enum class Kind { none, element, string, integer, list, geometry };

    AXValue() = default;
    AXValue(UIElementRef value) : kind(Kind::element), elementValue(std::move(value)) {}
    AXValue(std::string value) : kind(Kind::string), stringValue(std::move(value)) {}
    AXValue(std::int64_t value) : kind(Kind::integer), integerValue(value) {}
    AXValue(List value) : kind(Kind::list), listValue(std::move(value)) {}
    AXValue(AXGeometry value) : kind(Kind::geometry), geometryValue(value) {}

    // Each reader gives nothing when the value is of another kind.
    const UIElementRef* element() const { return kind == Kind::element ? &elementValue : nullptr; }
    const std::string* string() const { return kind == Kind::string ? &stringValue : nullptr; }
    const std::int64_t* integer() const { return kind == Kind::integer ? &integerValue : nullptr; }
    const List* list() const { return kind == Kind::list ? &listValue : nullptr; }
    const AXGeometry* geometry() const { return kind == Kind::geometry ? &geometryValue : nullptr; }

  private:
    Kind kind = Kind::none;
    UIElementRef elementValue;
    std::string stringValue;
    std::int64_t integerValue = 0;
    List listValue;
    AXGeometry geometryValue;
};

struct AXResult {
    AXError error = AXError::success;
    AXValue value;  // empty unless `error` is success
};

// Reading and driving other applications through the accessibility interface.
class UIElements {
  public:
    virtual ~UIElements() = default;
    virtual UIElementRef application(std::int32_t processIdentifier) = 0;  // never null; may be dead
    virtual void setMessagingTimeout(const UIElementRef& element,
                                     double seconds) = 0;  // for messages through this element
    virtual AXResult copyAttributeValue(const UIElementRef& element, const std::string& attribute) = 0;
    virtual AXError performAction(const UIElementRef& element, const std::string& action) = 0;
    // Whether reading other applications needs the `Accessibility` permission here.
    virtual bool needsPermission() const { return true; }
};

}  // namespace larkspire
