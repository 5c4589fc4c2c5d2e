#pragma once

namespace larkspire {

// The size of the main display in pixels, read afresh on every call.
class MainDisplay {
  public:
    virtual ~MainDisplay() = default;
    virtual double pixelsWide() const = 0;
    virtual double pixelsHigh() const = 0;
};

}  // namespace larkspire
