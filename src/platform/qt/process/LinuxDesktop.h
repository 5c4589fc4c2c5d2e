#pragma once

#include "app/Application.h"
#include "platform/gnome/ShellClipboard.h"
#include "platform/gnome/ShellExtensionLink.h"
#include "platform/linux/accessibility/AccessibilityBusWatcher.h"
#include "platform/linux/accessibility/FileManagerBridge.h"
#include "platform/linux/accessibility/NoFileManagerConnection.h"
#include "platform/linux/files/AutostartLoginItem.h"
#include "platform/linux/files/FileManagerIntegrations.h"
#include "platform/linux/files/JsonDefaults.h"
#include "platform/linux/files/TreeWalk.h"
#include "platform/linux/input/InputAccessibility.h"
#include "platform/linux/input/ScrollingDevices.h"
#include "platform/linux/mounts/GioNetwork.h"
#include "platform/linux/mounts/GtkBookmarks.h"
#include "platform/linux/system/LocalTimeZone.h"
#include "platform/linux/system/ProcHostStatistics.h"
#include "platform/linux/system/SessionBusNotifications.h"
#include "platform/linux/system/SystemClock.h"
#include "platform/linux/system/SystemLog.h"
#include "platform/linux/words/LinuxWording.h"
#include "platform/qt/compositor/GnomeShellWindows.h"
#include "platform/qt/process/QtDesktop.h"
#include "platform/qt/process/SingleInstance.h"
#include "platform/qt/words/SessionWording.h"
#include "platform/qt/x11/QtClipboard.h"
#include "platform/qt/x11/X11HeldModifiers.h"
#include "platform/qt/x11/X11ProgramWindows.h"
#include "platform/qt/x11/X11Windows.h"

#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <memory>
#include <string>
#include <vector>

namespace larkspire::qt {

class QtLayerShell;

// The user's real session: Qt for what is on screen, the Linux adapters for the rest, wired to each
// other. Create it on the main thread after the QApplication; it outlives the application it serves.
class LinuxDesktop {
  public:
    LinuxDesktop();
    Ports ports();
    // Starts the application: later starts reach it through `instance`, the file managers' windows are
    // read while it has something for the badge to show, and `urls` of the command line are opened.
    void launch(const std::shared_ptr<Application>& application, SingleInstance& instance,
                const std::vector<std::string>& urls, const QElapsedTimer& sinceStart);

  private:
    SessionPorts session();
    bool readsFileManagers() const { return accessibilityBus != nullptr; }
    void explainInputAccess();
    void linkShellExtension();
    // On Wayland with a StatusNotifier watcher, the status item is exported by Larkspire itself.
    void exportStatusItemOnWayland();

    linux_desktop::SystemLog log;
    Logger shellLog{log, "shell"};
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults defaults{log, clock};
    linux_desktop::AutostartLoginItem loginItem;
    linux_desktop::InputAccessibility accessibility;
    linux_desktop::TreeWalk folderSizes;  // outlives the work queue, whose walks use it
    // Linux words for the Mac's, in English where the session is not German.
    linux_desktop::LinuxWording linuxWords;
    SessionWording words{linuxWords, sessionLanguage()};
    QtDesktop qt{defaults};
    // Ctrl, Alt and Super for the wheel, told by the X11 server; before the input that asks it.
    X11HeldModifiers heldModifiers;
    // The program under the pointer, for the programs the wheel is left alone in.
    X11ProgramWindows programWindows;
    linux_desktop::ScrollingDevices scrolling{qt.main};
    linux_desktop::SessionBusNotifications sessionBus;
    linux_desktop::FileManagerIntegrations fileManagers;
    // File managers cut by themselves: cut and paste follows their marks on the clipboard.
    QtClipboard clipboard{qt.work, qt.main};
    // On Wayland the compositor's data control where it offers it, which sees cuts without the focus.
    std::unique_ptr<Clipboard> dataControl;
    // On GNOME Shell its Larkspire extension: the clipboard without the focus, the top-bar icon.
    std::unique_ptr<gnome::ShellExtensionLink> shellExtension;
    std::unique_ptr<gnome::ShellClipboard> shellClipboard;
    std::unique_ptr<QDBusServiceWatcher> trayWatcher;  // until a panel's watcher comes
    std::weak_ptr<Application> launched;
    // No file manager is driven from outside; these say so where the bus is not read.
    linux_desktop::IdleKeyboardHook keyboardHook;
    linux_desktop::NoFrontmostApplication noApplications;
    linux_desktop::UnavailableUIElements noUiElements;
    linux_desktop::NoFilePackages noPackages;
    linux_desktop::NoFileManagerWindows noWindows;
    linux_desktop::NoFileManagerApplications noFileManagers;
    // On Wayland the widgets and the badge are layer surfaces where the compositor has a layer shell.
    std::shared_ptr<QtLayerShell> layerShell;
    std::unique_ptr<WidgetWindows> layerWidgets;
    std::unique_ptr<OverlaySurfaces> layerOverlays;
    // Under X11 the badge reads the file managers' windows from the accessibility bus and places
    // itself by the X11 window list.
    X11Windows x11;
    // On Wayland without X11 the compositor lists the windows instead.
    std::unique_ptr<linux_desktop::DesktopWindows> compositorWindows;
    // On GNOME Shell its extension lists them, native Wayland programs among them.
    std::unique_ptr<GnomeShellWindows> shellWindows;
    std::shared_ptr<linux_desktop::FileManagerBridge> fileManagerWindows;
    std::unique_ptr<linux_desktop::AccessibilityBusWatcher> accessibilityBus;
    std::shared_ptr<void> cutObservation;
    linux_desktop::ProcHostStatistics host;
    linux_desktop::HwmonTemperatureSensors sensors;
    linux_desktop::LocalTimeZone timeZone;
    linux_desktop::GioNetwork shares{log};
    linux_desktop::GtkBookmarksSidebar sidebar;
};

}  // namespace larkspire::qt
