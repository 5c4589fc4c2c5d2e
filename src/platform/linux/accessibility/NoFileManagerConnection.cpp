#include "platform/linux/accessibility/NoFileManagerConnection.h"

namespace larkspire::linux_desktop {

namespace {

class IdleRunLoopSource : public RunLoopSource {
  public:
    void addToMainRunLoop() override {}
    void removeFromMainRunLoop() override {}
};

class IdleTap : public KeyboardTap {
  public:
    std::unique_ptr<RunLoopSource> createRunLoopSource() override {
        return std::make_unique<IdleRunLoopSource>();
    }
    void setEnabled(bool) override {}
    void invalidate() override {}
};

class NoElement : public UIElement {};

}  // namespace

std::unique_ptr<KeyboardTap> IdleKeyboardHook::createKeyDownTap(KeyTapCallback) {
    return std::make_unique<IdleTap>();
}

UIElementRef UnavailableUIElements::application(std::int32_t) {
    return std::make_shared<NoElement>();
}

}  // namespace larkspire::linux_desktop
