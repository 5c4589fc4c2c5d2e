#pragma once

namespace larkspire {

// The user's permission to watch and drive input and other applications.
class Accessibility {
  public:
    virtual ~Accessibility() = default;
    virtual bool isTrusted() const = 0;  // asked afresh on every call
    virtual void prompt() = 0;           // asks the system to show its permission request; result ignored
};

}  // namespace larkspire
