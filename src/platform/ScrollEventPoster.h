#pragma once

#include <cstdint>

namespace larkspire {

// A synthetic scroll-wheel event in pixel units; axis 1 is vertical, axis 2 horizontal.
struct ScrollEventFields {
    std::int64_t userData = 0;
    std::int64_t isContinuous = 0;
    std::int64_t deltaAxis1 = 0;  // lines
    std::int64_t deltaAxis2 = 0;
    std::int64_t pointDeltaAxis1 = 0;  // pixels
    std::int64_t pointDeltaAxis2 = 0;
    double fixedPtDeltaAxis1 = 0;  // lines as a fixed-point value
    double fixedPtDeltaAxis2 = 0;
    std::int64_t scrollPhase = 0;
    std::int64_t momentumPhase = 0;
    std::int64_t invertedFromDevice = 0;
    std::uint64_t flags = 0;
    bool operator==(const ScrollEventFields&) const = default;
};

// Posts synthetic scroll events into the session, where event taps see them like any other.
class ScrollEventPoster {
  public:
    virtual ~ScrollEventPoster() = default;
    virtual bool postScrollEvent(const ScrollEventFields& event) = 0;  // false when no event could be made
};

}  // namespace larkspire
