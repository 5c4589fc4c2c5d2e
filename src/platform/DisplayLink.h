#pragma once

#include <functional>
#include <memory>

namespace larkspire {

// A callback at every refresh of the displays, on a thread of its own.
class DisplayLink {
  public:
    virtual ~DisplayLink() = default;  // stops it
    virtual void
    setOutputHandler(std::function<void()> handler) = 0;  // before start; runs off the main thread
    virtual void start() = 0;
    virtual void stop() = 0;  // no handler call begins after this returns
};

class DisplayLinks {
  public:
    virtual ~DisplayLinks() = default;
    virtual std::unique_ptr<DisplayLink> createWithActiveDisplays() = 0;  // nothing when it cannot be made
};

}  // namespace larkspire
