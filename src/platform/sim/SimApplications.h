#pragma once

#include "platform/KeyboardTap.h"
#include "platform/RunningApplications.h"
#include "platform/UIElements.h"
#include "platform/WorkspaceApplications.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::sim {

// A menu item as the accessibility interface shows it; `action` runs when it is pressed.
struct SimMenuItem {
    std::string title;
    std::optional<std::string> commandChar;        // nothing: no key equivalent
    std::optional<std::int64_t> commandModifiers;  // 0 is Command alone; Shift 1, Option 2, Control 4
    std::function<void()> action;
    bool pressFails = false;  // pressing answers with an error and does nothing
};

struct SimMenu {
    std::string title;
    std::vector<SimMenuItem> items;
};

// An element that an application builds itself (such as a file-manager window and what it shows);
// the session has already checked the application's failure and answer delay when it is asked.
struct SimAppElement : UIElement {
    std::int32_t processIdentifier = 0;
    mutable double timeout = 6.0;  // inherited by the elements read through this one
    virtual AXResult attribute(const std::string& name) const = 0;
    virtual AXError failure() const { return AXError::success; }  // this element's own
    virtual double answerDelay() const { return 0; }
};

// A running application of the simulated session, with the parts of its interface that
// the accessibility interface reaches: the focused element and the menu bar.
class SimApplication {
  public:
    SimApplication(std::optional<std::string> bundleIdentifier, std::int32_t processIdentifier)
        : bundleIdentifier(std::move(bundleIdentifier)), processIdentifier(processIdentifier) {}
    virtual ~SimApplication() = default;

    // A key press that no tap swallowed: text fields take it, otherwise the menu's shortcuts do.
    virtual void keyDown(const KeyEvent& event);
    // Attributes of the application element beyond the focused element and the menu bar; nothing when
    // unsupported. Elements it returns inherit `timeout`.
    virtual std::optional<AXResult> applicationAttribute(const std::string& attribute, double timeout) const {
        (void)attribute;
        (void)timeout;
        return std::nullopt;
    }

    SimMenuItem* menuItem(const std::string& title);  // nothing when there is none
    bool removeMenuItem(const std::string& title);

    std::optional<std::string> bundleIdentifier;
    std::int32_t processIdentifier;
    bool hidden = false;
    std::optional<std::string> focusedRole;  // the focused element's role; nothing when none has focus
    bool focusedRoleIsString = true;         // false: the role answers with a number
    std::vector<SimMenu> menuBar;
    bool hasMenuBar = true;

    // How accessibility queries are answered.
    AXError failure = AXError::success;  // anything else: every query fails with it
    double answerDelay = 0;              // a query with a shorter messaging timeout fails with cannotComplete

    std::vector<KeyEvent> receivedKeys;  // every key press that reached the application
    std::vector<KeyEvent> typedKeys;     // those a focused text field took
    std::vector<std::string> pressedItems;
};

// The session's applications and the accessibility interface into them.
class SimApplications : public RunningApplications, public UIElements, public WorkspaceApplications {
  public:
    // Starts an application; it does not come to the front by itself.
    SimApplication& launch(std::optional<std::string> bundleIdentifier);
    void add(std::shared_ptr<SimApplication> application);
    void activate(SimApplication& application);  // brings it to the front, unhiding it
    void hide(SimApplication& application);      // the next visible one comes to the front
    void deactivateAll();                        // e.g. the desktop shows a login window
    void quit(SimApplication& application);      // gone from the session; the next one comes to the front
    SimApplication* find(std::int32_t processIdentifier);
    SimApplication* frontmost();
    std::int32_t nextProcessIdentifier() { return nextPid++; }

    std::optional<RunningApplication> frontmostApplication() const override;
    UIElementRef application(std::int32_t processIdentifier) override;
    void setMessagingTimeout(const UIElementRef& element, double seconds) override;
    AXResult copyAttributeValue(const UIElementRef& element, const std::string& attribute) override;
    AXError performAction(const UIElementRef& element, const std::string& action) override;
    std::vector<ApplicationState>
    runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

    // How workspace notifications reach the main thread; the desktop posts them to its loop.
    std::function<void(std::function<void()>)> deliver = [](std::function<void()> work) { work(); };
    double blockedSeconds = 0;  // time queries would have held the caller, waiting for answers

    std::vector<double> timeoutsSet;  // every messaging timeout features asked for

  private:
    void announceActivation();
    AXError answerCheck(const SimApplication& app, double delay, double timeout);

    std::vector<std::shared_ptr<SimApplication>> applications;
    std::vector<std::weak_ptr<std::function<void()>>> activationObservers;
    std::vector<SimApplication*> activationOrder;  // most recent last
    std::int32_t nextPid = 400;
};

}  // namespace larkspire::sim
