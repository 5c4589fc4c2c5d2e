#include "platform/sim/SimApplications.h"

#include <algorithm>

namespace larkspire::sim {

namespace {

enum class ElementKind { application, focused, menuBar, menuBarItem, menu, menuItem };

struct SimElement : UIElement {
    std::int32_t pid = 0;
    ElementKind kind = ElementKind::application;
    int menuIndex = -1;
    int itemIndex = -1;
    // Elements read through another one inherit its timeout, so one setting bounds a whole search.
    mutable double timeout = 6.0;
};

UIElementRef element(const SimElement& parent, ElementKind kind, int menuIndex = -1, int itemIndex = -1) {
    auto made = std::make_shared<SimElement>();
    made->pid = parent.pid;
    made->kind = kind;
    made->menuIndex = menuIndex;
    made->itemIndex = itemIndex;
    made->timeout = parent.timeout;
    return made;
}

AXResult value(AXValue::List list) {
    return AXResult{.value = AXValue(std::move(list))};
}

std::string characterOf(std::int64_t keyCode) {
    switch (keyCode) {
    case 0:
        return "A";
    case 6:
        return "Z";
    case 7:
        return "X";
    case 8:
        return "C";
    case 9:
        return "V";
    case 12:
        return "Q";
    default:
        return "";
    }
}

bool isTextRole(const std::optional<std::string>& role) {
    return role && (*role == "AXTextField" || *role == "AXTextArea" || *role == "AXComboBox" ||
                    *role == "AXSearchField");
}

}  // namespace

void SimApplication::keyDown(const KeyEvent& event) {
    receivedKeys.push_back(event);
    if (isTextRole(focusedRole)) {
        typedKeys.push_back(event);
        return;
    }
    if (!(event.flags & KeyFlags::command)) return;
    std::int64_t modifiers = 0;
    if (event.flags & KeyFlags::shift) modifiers |= 1;
    if (event.flags & KeyFlags::option) modifiers |= 2;
    if (event.flags & KeyFlags::control) modifiers |= 4;
    auto character = characterOf(event.keyCode);
    for (auto& menu : menuBar)
        for (auto& item : menu.items)
            if (item.commandChar == character && item.commandModifiers == modifiers) {
                if (item.action) item.action();
                pressedItems.push_back(item.title);
                return;
            }
}

SimMenuItem* SimApplication::menuItem(const std::string& title) {
    for (auto& menu : menuBar)
        for (auto& item : menu.items)
            if (item.title == title) return &item;
    return nullptr;
}

bool SimApplication::removeMenuItem(const std::string& title) {
    for (auto& menu : menuBar) {
        auto found = std::find_if(menu.items.begin(), menu.items.end(),
                                  [&](const SimMenuItem& item) { return item.title == title; });
        if (found != menu.items.end()) {
            menu.items.erase(found);
            return true;
        }
    }
    return false;
}

SimApplication& SimApplications::launch(std::optional<std::string> bundleIdentifier) {
    auto made = std::make_shared<SimApplication>(std::move(bundleIdentifier), nextPid++);
    add(made);
    return *made;
}

void SimApplications::add(std::shared_ptr<SimApplication> application) {
    applications.push_back(std::move(application));
}

void SimApplications::activate(SimApplication& application) {
    application.hidden = false;
    std::erase(activationOrder, &application);
    activationOrder.push_back(&application);
    announceActivation();
}

void SimApplications::hide(SimApplication& application) {
    application.hidden = true;
    std::erase(activationOrder, &application);
    announceActivation();
}

void SimApplications::deactivateAll() {
    activationOrder.clear();
    announceActivation();
}

void SimApplications::quit(SimApplication& application) {
    std::erase(activationOrder, &application);
    auto keep = std::find_if(applications.begin(), applications.end(),
                             [&](const auto& running) { return running.get() == &application; });
    if (keep == applications.end()) return;
    // Keep the object until the notifications are out: callers may still hold a reference.
    auto gone = *keep;
    applications.erase(keep);
    announceActivation();
    deliver([gone] {});
}

void SimApplications::announceActivation() {
    std::erase_if(activationObservers, [](const auto& observer) { return observer.expired(); });
    for (const auto& observer : activationObservers)
        deliver([observer] {
            if (auto handler = observer.lock()) (*handler)();
        });
}

std::vector<ApplicationState>
SimApplications::runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const {
    std::vector<ApplicationState> found;
    for (const auto& application : applications)
        if (application->bundleIdentifier == bundleIdentifier)
            found.push_back(ApplicationState{.processIdentifier = application->processIdentifier,
                                             .isHidden = application->hidden,
                                             .isActive = !activationOrder.empty() &&
                                                         activationOrder.back() == application.get()});
    return found;
}

std::shared_ptr<void> SimApplications::observeActivations(std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    activationObservers.push_back(shared);
    return shared;
}

AXError SimApplications::answerCheck(const SimApplication& app, double delay, double timeout) {
    if (app.failure != AXError::success) return app.failure;
    blockedSeconds += std::min(delay, timeout);
    if (delay > timeout) return AXError::cannotComplete;
    return AXError::success;
}

SimApplication* SimApplications::find(std::int32_t processIdentifier) {
    for (auto& application : applications)
        if (application->processIdentifier == processIdentifier) return application.get();
    return nullptr;
}

SimApplication* SimApplications::frontmost() {
    return activationOrder.empty() ? nullptr : activationOrder.back();
}

std::optional<RunningApplication> SimApplications::frontmostApplication() const {
    if (activationOrder.empty()) return std::nullopt;
    auto* front = activationOrder.back();
    return RunningApplication{front->bundleIdentifier, front->processIdentifier};
}

UIElementRef SimApplications::application(std::int32_t processIdentifier) {
    auto made = std::make_shared<SimElement>();
    made->pid = processIdentifier;
    return made;
}

void SimApplications::setMessagingTimeout(const UIElementRef& ref, double seconds) {
    timeoutsSet.push_back(seconds);
    if (auto simElement = dynamic_cast<const SimElement*>(ref.get())) simElement->timeout = seconds;
}

AXResult SimApplications::copyAttributeValue(const UIElementRef& ref, const std::string& attribute) {
    if (auto own = dynamic_cast<const SimAppElement*>(ref.get())) {
        auto* app = find(own->processIdentifier);
        if (!app) return AXResult{.error = AXError::invalidUIElement};
        if (auto error = answerCheck(*app, std::max(app->answerDelay, own->answerDelay()), own->timeout);
            error != AXError::success)
            return AXResult{.error = error};
        if (own->failure() != AXError::success) return AXResult{.error = own->failure()};
        return own->attribute(attribute);
    }
    auto simElement = dynamic_cast<const SimElement*>(ref.get());
    if (!simElement) return AXResult{.error = AXError::illegalArgument};
    auto* app = find(simElement->pid);
    if (!app) return AXResult{.error = AXError::invalidUIElement};
    if (auto error = answerCheck(*app, app->answerDelay, simElement->timeout); error != AXError::success)
        return AXResult{.error = error};

    const auto& self = *simElement;
    switch (self.kind) {
    case ElementKind::application:
        if (attribute == "AXFocusedUIElement") {
            if (!app->focusedRole) return AXResult{.error = AXError::noValue};
            return AXResult{.value = AXValue(element(self, ElementKind::focused))};
        }
        if (attribute == "AXMenuBar") {
            if (!app->hasMenuBar) return AXResult{.error = AXError::noValue};
            return AXResult{.value = AXValue(element(self, ElementKind::menuBar))};
        }
        if (auto own = app->applicationAttribute(attribute, self.timeout)) return *own;
        break;
    case ElementKind::focused:
        if (attribute == "AXRole") {
            if (!app->focusedRole) return AXResult{.error = AXError::invalidUIElement};
            if (!app->focusedRoleIsString) return AXResult{.value = AXValue(std::int64_t{1})};
            return AXResult{.value = AXValue(*app->focusedRole)};
        }
        break;
    case ElementKind::menuBar:
        if (attribute == "AXChildren") {
            AXValue::List children;
            for (int i = 0; i < static_cast<int>(app->menuBar.size()); ++i)
                children.push_back(AXValue(element(self, ElementKind::menuBarItem, i)));
            return value(std::move(children));
        }
        break;
    case ElementKind::menuBarItem:
        if (attribute == "AXChildren") {
            if (self.menuIndex >= static_cast<int>(app->menuBar.size()))
                return AXResult{.error = AXError::invalidUIElement};
            return value({AXValue(element(self, ElementKind::menu, self.menuIndex))});
        }
        break;
    case ElementKind::menu:
        if (attribute == "AXChildren") {
            if (self.menuIndex >= static_cast<int>(app->menuBar.size()))
                return AXResult{.error = AXError::invalidUIElement};
            AXValue::List children;
            auto& items = app->menuBar[self.menuIndex].items;
            for (int i = 0; i < static_cast<int>(items.size()); ++i)
                children.push_back(AXValue(element(self, ElementKind::menuItem, self.menuIndex, i)));
            return value(std::move(children));
        }
        break;
    case ElementKind::menuItem: {
        if (self.menuIndex >= static_cast<int>(app->menuBar.size()) ||
            self.itemIndex >= static_cast<int>(app->menuBar[self.menuIndex].items.size()))
            return AXResult{.error = AXError::invalidUIElement};
        auto& item = app->menuBar[self.menuIndex].items[self.itemIndex];
        if (attribute == "AXMenuItemCmdChar") {
            if (!item.commandChar) return AXResult{.error = AXError::noValue};
            return AXResult{.value = AXValue(*item.commandChar)};
        }
        if (attribute == "AXMenuItemCmdModifiers") {
            if (!item.commandModifiers) return AXResult{.error = AXError::noValue};
            return AXResult{.value = AXValue(*item.commandModifiers)};
        }
        if (attribute == "AXTitle") return AXResult{.value = AXValue(item.title)};
        break;
    }
    }
    return AXResult{.error = AXError::attributeUnsupported};
}

AXError SimApplications::performAction(const UIElementRef& ref, const std::string& action) {
    auto simElement = dynamic_cast<const SimElement*>(ref.get());
    if (!simElement) return AXError::illegalArgument;
    auto* app = find(simElement->pid);
    if (!app) return AXError::invalidUIElement;
    if (app->failure != AXError::success) return app->failure;
    if (app->answerDelay > simElement->timeout) return AXError::cannotComplete;
    if (simElement->kind != ElementKind::menuItem || action != "AXPress") return AXError::actionUnsupported;
    if (simElement->menuIndex >= static_cast<int>(app->menuBar.size()) ||
        simElement->itemIndex >= static_cast<int>(app->menuBar[simElement->menuIndex].items.size()))
        return AXError::invalidUIElement;
    auto& item = app->menuBar[simElement->menuIndex].items[simElement->itemIndex];
    if (item.pressFails) return AXError::failure;
    // Copy the action first: it may change the menu it lives in.
    auto act = item.action;
    app->pressedItems.push_back(item.title);
    if (act) act();
    return AXError::success;
}

}  // namespace larkspire::sim
