#include "platform/gnome/ShellExtensionLink.h"

#include "platform/types/MenuExport.h"

#include <cstdio>
#include <cstring>
#include <gio/gio.h>

namespace larkspire::gnome {

namespace {

constexpr const char* introspection = R"xml(<node>
  <interface name="de.halvik.Quirefold.Larkspire1">
    <method name="Attach">
      <arg type="s" name="extensionVersion" direction="in"/>
      <arg type="s" name="shellVersion" direction="in"/>
      <arg type="s" name="larkspireVersion" direction="out"/>
    </method>
    <method name="Detach"/>
    <method name="ClipboardChanged">
      <arg type="a{say}" name="fileLists" direction="in"/>
    </method>
    <method name="WindowsChanged">
      <arg type="s" name="report" direction="in"/>
    </method>
    <method name="GetTray">
      <arg type="s" name="iconName" direction="out"/>
      <arg type="s" name="tooltip" direction="out"/>
      <arg type="u" name="count" direction="out"/>
    </method>
    <method name="GetMenu">
      <arg type="a(sbbb)" name="items" direction="out"/>
    </method>
    <method name="ActivateMenuItem">
      <arg type="s" name="title" direction="in"/>
    </method>
    <signal name="TrayChanged"/>
  </interface>
</node>)xml";

constexpr const char* shellName = "org.gnome.Shell";
constexpr int callTimeoutMs = 2000;
// A file list larger than this is no cut made by hand; the extension never sends one.
constexpr gsize maxFileListBytes = 32u * 1024 * 1024;
// A report lists a few hundred windows with bounded titles; a larger one is not read.
constexpr gsize maxWindowReportBytes = 8u * 1024 * 1024;

const char* const losesWithout =
    "ausgeschnittene Dateien sieht Larkspire nur, solange eines seiner Fenster den "
    "Fokus hat, und ohne Statusleiste erscheint kein Symbol in der oberen Leiste";

// Text from another program, made fit for one line of the log.
std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text.substr(0, 300)) line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return line;
}

}  // namespace

std::optional<std::string> missingExtensionMessage(std::optional<double> state,
                                                   const std::string& shellVersion,
                                                   const std::string& error) {
    // The states of org.gnome.Shell.Extensions.
    constexpr int enabled = 1, disabled = 2, failed = 3, outOfDate = 4, initialized = 6;
    if (!state)
        return std::string("GNOME Shell ohne die Larkspire-Erweiterung: ") + losesWithout +
               ". „make install“ oder das Debian-Paket installiert sie, „Aktivieren…“ in den Einstellungen "
               "schaltet sie ein.";
    switch (static_cast<int>(*state)) {
    case enabled:
        return std::nullopt;
    case disabled:
    case initialized:
        return std::string("Die Larkspire-Erweiterung für GNOME Shell ist ausgeschaltet: ") + losesWithout +
               ". „Aktivieren…“ in den Einstellungen schaltet sie ein.";
    case failed:
        return "Die Larkspire-Erweiterung für GNOME Shell meldet einen Fehler (" + oneLine(error) +
               "): " + losesWithout + ".";
    case outOfDate:
        return "Die Larkspire-Erweiterung passt nicht zu GNOME Shell " + oneLine(shellVersion) + ": " +
               losesWithout + ". Eine Larkspire-Version für diese GNOME-Version installieren.";
    default:
        return "Die Larkspire-Erweiterung für GNOME Shell läuft nicht: " + std::string(losesWithout) + ".";
    }
}

struct ShellExtensionLink::State : std::enable_shared_from_this<ShellExtensionLink::State> {
    State(Log& log, std::string version, Handlers handlers)
        : log(log, "shell"), version(std::move(version)), handlers(std::move(handlers)) {}

    ~State() {
        if (checkTimer) g_source_remove(checkTimer);
        if (extensionWatch) g_bus_unwatch_name(extensionWatch);
        if (ownership) g_bus_unown_name(ownership);
        if (registration) g_dbus_connection_unregister_object(bus, registration);
        if (nodeInfo) g_dbus_node_info_unref(nodeInfo);
        if (bus) g_object_unref(bus);
    }

    // Async replies carry a weak reference, so a reply after the link is gone does nothing.
    using Weak = std::weak_ptr<State>;
    Weak* weakSelf() { return new Weak(weak_from_this()); }
    static std::shared_ptr<State> take(gpointer data) {
        auto* weak = static_cast<Weak*>(data);
        auto self = weak->lock();
        delete weak;
        return self;
    }

    void methodCall(const std::string& sender, const std::string& method, GVariant* parameters,
                    GDBusMethodInvocation* invocation) {
        if (method == "Attach") {
            verifyShell(sender, parameters, invocation);
            return;
        }
        if (extension.empty() || sender != extension) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                                                       "Nur die angemeldete GNOME Shell wird beantwortet");
            return;
        }
        if (method == "Detach") {
            g_dbus_method_invocation_return_value(invocation, nullptr);
            detach("abgemeldet");
        } else if (method == "ClipboardChanged") {
            auto content = fileLists(parameters);
            g_dbus_method_invocation_return_value(invocation, nullptr);
            if (handlers.clipboardChanged) handlers.clipboardChanged(std::move(content));
        } else if (method == "WindowsChanged") {
            const gchar* report = nullptr;
            g_variant_get(parameters, "(&s)", &report);
            std::string text = std::strlen(report) <= maxWindowReportBytes ? report : "";
            g_dbus_method_invocation_return_value(invocation, nullptr);
            if (!text.empty() && handlers.windowsChanged) handlers.windowsChanged(text);
        } else if (method == "GetTray") {
            auto tray = handlers.tray ? handlers.tray() : Tray{};
            g_dbus_method_invocation_return_value(
                invocation, g_variant_new("(ssu)", tray.iconName.c_str(), tray.tooltip.c_str(), tray.count));
        } else if (method == "GetMenu") {
            GVariantBuilder items;
            g_variant_builder_init(&items, G_VARIANT_TYPE("a(sbbb)"));
            if (handlers.menu)
                for (const auto& item : handlers.menu())
                    g_variant_builder_add(&items, "(sbbb)", item.title.c_str(), choosable(item), item.checked,
                                          item.isSeparator);
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(sbbb))", &items));
        } else if (method == "ActivateMenuItem") {
            const gchar* title = nullptr;
            g_variant_get(parameters, "(&s)", &title);
            std::string chosen = title;
            g_dbus_method_invocation_return_value(invocation, nullptr);
            if (handlers.menuItemChosen) handlers.menuItemChosen(chosen);
        }
    }

    static FileClipboardContent fileLists(GVariant* parameters) {
        FileClipboardContent content;
        GVariantIter* iter = nullptr;
        g_variant_get(parameters, "(a{say})", &iter);
        const gchar* type = nullptr;
        GVariant* bytes = nullptr;
        while (g_variant_iter_loop(iter, "{&s@ay}", &type, &bytes)) {
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
            if (size > maxFileListBytes) continue;
            for (const auto& format : clipboardFileFormats)
                if (std::strcmp(format.type, type) == 0) content.*format.bytes = std::string(data, size);
        }
        g_variant_iter_free(iter);
        return content;
    }

    // Only the Shell attaches: the caller must be the owner of the Shell's bus name right now.
    void verifyShell(const std::string& sender, GVariant* parameters, GDBusMethodInvocation* invocation) {
        struct Pending {
            Weak* self;
            std::string sender;
            std::string extensionVersion;
            std::string shellVersion;
            GDBusMethodInvocation* invocation;
        };
        const gchar* extensionVersion = nullptr;
        const gchar* shellVersion = nullptr;
        g_variant_get(parameters, "(&s&s)", &extensionVersion, &shellVersion);
        auto* pending = new Pending{weakSelf(), sender, extensionVersion, shellVersion,
                                    static_cast<GDBusMethodInvocation*>(g_object_ref(invocation))};
        g_dbus_connection_call(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
            g_variant_new("(s)", shellName), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, callTimeoutMs,
            nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* pending = static_cast<Pending*>(data);
                auto self = take(pending->self);
                GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
                std::string owner;
                if (reply) {
                    const gchar* name = nullptr;
                    g_variant_get(reply, "(&s)", &name);
                    owner = name;
                    g_variant_unref(reply);
                }
                if (!self || owner.empty() || owner != pending->sender) {
                    g_dbus_method_invocation_return_dbus_error(pending->invocation,
                                                               "org.freedesktop.DBus.Error.AccessDenied",
                                                               "Nur GNOME Shell darf sich anmelden");
                    if (self)
                        self->log.error("Anmeldung abgelehnt: " + oneLine(pending->sender) +
                                        " ist nicht GNOME Shell");
                } else {
                    g_dbus_method_invocation_return_value(pending->invocation,
                                                          g_variant_new("(s)", self->version.c_str()));
                    self->attach(pending->sender, pending->extensionVersion, pending->shellVersion);
                }
                g_object_unref(pending->invocation);
                delete pending;
            },
            pending);
    }

    void attach(const std::string& sender, const std::string& extensionVersion,
                const std::string& shellVersion) {
        if (extensionWatch) g_bus_unwatch_name(extensionWatch);
        extension = sender;
        // The Shell's connection going away (a restart, a crash) detaches at once.
        extensionWatch = g_bus_watch_name_on_connection(
            bus, sender.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
            [](GDBusConnection*, const gchar*, gpointer data) {
                static_cast<State*>(data)->detach("GNOME Shell beendet");
            },
            this, nullptr);
        log.info("GNOME-Shell-Erweiterung angemeldet (Erweiterung " + oneLine(extensionVersion) +
                 ", GNOME Shell " + oneLine(shellVersion) + ")");
        if (extensionVersion != version)
            log.error("Die GNOME-Shell-Erweiterung hat Version " + oneLine(extensionVersion) +
                      ", Larkspire " + version +
                      ": beide aus derselben Installation verwenden (make install oder das Debian-Paket)");
        if (handlers.attachedChanged) handlers.attachedChanged();
    }

    void detach(const std::string& why) {
        if (extension.empty()) return;
        extension.clear();
        if (extensionWatch) {
            guint watch = extensionWatch;
            extensionWatch = 0;
            g_bus_unwatch_name(watch);
        }
        log.info("GNOME-Shell-Erweiterung getrennt: " + why);
        if (handlers.attachedChanged) handlers.attachedChanged();
    }

    void checkAttached() {
        checkTimer = 0;
        if (!extension.empty()) return;
        if (stillDetached) stillDetached();
        struct Pending {
            Weak* self;
            std::string shellVersion;
        };
        // Only on GNOME Shell: the Shell's own extension service answers there alone.
        g_dbus_connection_call(
            bus, shellName, "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", "org.gnome.Shell.Extensions", "ShellVersion"), G_VARIANT_TYPE("(v)"),
            G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* pending = new Pending{static_cast<Weak*>(data), {}};
                GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
                if (!reply) {
                    delete static_cast<Weak*>(pending->self);
                    delete pending;
                    return;  // no GNOME Shell
                }
                GVariant* value = nullptr;
                g_variant_get(reply, "(v)", &value);
                if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
                    pending->shellVersion = g_variant_get_string(value, nullptr);
                g_variant_unref(value);
                g_variant_unref(reply);
                g_dbus_connection_call(
                    G_DBUS_CONNECTION(source), shellName, "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                    "GetExtensionInfo", g_variant_new("(s)", extensionUuid), G_VARIANT_TYPE("(a{sv})"),
                    G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr,
                    [](GObject* source, GAsyncResult* result, gpointer data) {
                        auto* pending = static_cast<Pending*>(data);
                        auto self = take(pending->self);
                        GVariant* reply =
                            g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
                        if (self && self->extension.empty() && reply) {
                            GVariant* info = g_variant_get_child_value(reply, 0);
                            std::optional<double> state;
                            double found = 0;
                            if (g_variant_lookup(info, "state", "d", &found)) state = found;
                            const gchar* error = "";
                            g_variant_lookup(info, "error", "&s", &error);
                            if (auto message = missingExtensionMessage(state, pending->shellVersion, error))
                                self->sayOnce(*message);
                            else if (!self->ownsName)
                                self->sayOnce(
                                    std::string("Die Larkspire-Erweiterung läuft, erreicht Larkspire aber "
                                                "nicht, weil ein anderes Programm den Busnamen ") +
                                    busName + " hält: " + losesWithout + ".");
                            g_variant_unref(info);
                        }
                        if (reply) g_variant_unref(reply);
                        delete pending;
                    },
                    pending);
            },
            weakSelf());
    }

    void sayOnce(const std::string& message) {
        if (saidMissing) return;
        saidMissing = true;
        log.error(message);
        std::fprintf(stderr, "%s\n", message.c_str());
    }

    Logger log;
    std::string version;
    Handlers handlers;
    GDBusConnection* bus = nullptr;
    GDBusNodeInfo* nodeInfo = nullptr;
    guint registration = 0;
    guint ownership = 0;
    guint extensionWatch = 0;
    guint checkTimer = 0;
    std::function<void()> stillDetached;
    std::string extension;  // the unique name of the attached Shell's connection
    bool ownsName = false;
    bool saidMissing = false;
};

std::unique_ptr<ShellExtensionLink> ShellExtensionLink::connect(Log& log, std::string version,
                                                                Handlers handlers, std::string& reason) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        reason = std::string("kein Sitzungsbus: ") + (error ? error->message : "unbekannt");
        if (error) g_error_free(error);
        return nullptr;
    }
    auto state = std::make_shared<State>(log, std::move(version), std::move(handlers));
    state->bus = bus;
    state->nodeInfo = g_dbus_node_info_new_for_xml(introspection, nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
            static_cast<State*>(data)->methodCall(sender ? sender : "", method, parameters, invocation);
        },
        nullptr,
        nullptr,
        {}};
    state->registration = g_dbus_connection_register_object(bus, objectPath, state->nodeInfo->interfaces[0],
                                                            &vtable, state.get(), nullptr, &error);
    if (!state->registration) {
        reason = std::string("Objekt nicht angemeldet: ") + (error ? error->message : "unbekannt");
        if (error) g_error_free(error);
        return nullptr;
    }
    // Queued behind another owner rather than given up, and never handed over: whoever holds the
    // name first keeps it, and the extension checks who that is.
    state->ownership = g_bus_own_name_on_connection(
        bus, busName, G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, gpointer data) {
            auto* self = static_cast<State*>(data);
            self->ownsName = true;
            self->log.info(std::string("Busname ") + busName + " übernommen");
        },
        [](GDBusConnection*, const gchar*, gpointer data) {
            auto* self = static_cast<State*>(data);
            bool owned = self->ownsName;
            self->ownsName = false;
            if (owned) return;
            self->log.error(std::string("Der Busname ") + busName +
                            " gehört einem anderen Programm; Larkspire übernimmt ihn, sobald er frei wird");
        },
        state.get(), nullptr);
    auto link = std::unique_ptr<ShellExtensionLink>(new ShellExtensionLink());
    link->shared = std::move(state);
    return link;
}

ShellExtensionLink::~ShellExtensionLink() = default;

bool ShellExtensionLink::isAttached() const {
    return !shared->extension.empty();
}

bool ShellExtensionLink::writeClipboard(const FileClipboardContent& content) {
    if (!isAttached()) return false;
    GVariantBuilder lists;
    g_variant_builder_init(&lists, G_VARIANT_TYPE("a{say}"));
    for (const auto& format : clipboardFileFormats) {
        const auto& bytes = content.*format.bytes;
        if (!bytes) continue;
        g_variant_builder_add(
            &lists, "{s@ay}", format.type,
            g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes->data(), bytes->size(), 1));
    }
    g_dbus_connection_call(
        shared->bus, shared->extension.c_str(), extensionPath, extensionInterface, "SetClipboard",
        g_variant_new("(a{say})", &lists), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, callTimeoutMs,
        nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto self = State::take(data);
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            gboolean written = FALSE;
            if (reply) {
                g_variant_get(reply, "(b)", &written);
                g_variant_unref(reply);
            }
            if (self && !written)
                self->log.error(std::string("Zwischenablage über GNOME Shell nicht geschrieben") +
                                (error ? std::string(": ") + error->message : std::string()));
            if (error) g_error_free(error);
        },
        shared->weakSelf());
    return true;
}

bool ShellExtensionLink::stackOverlay(std::uint32_t overlay, const std::string& windowId) {
    if (!isAttached()) return false;
    g_dbus_connection_call(shared->bus, shared->extension.c_str(), extensionPath, extensionInterface,
                           "StackOverlay", g_variant_new("(us)", overlay, windowId.c_str()), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, callTimeoutMs, nullptr, nullptr, nullptr);
    return true;
}

void ShellExtensionLink::trayChanged() {
    if (!isAttached()) return;
    g_dbus_connection_emit_signal(shared->bus, shared->extension.c_str(), objectPath, interfaceName,
                                  "TrayChanged", nullptr, nullptr);
}

void ShellExtensionLink::enableExtension() {
    g_dbus_connection_call(shared->bus, shellName, "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                           "EnableExtension", g_variant_new("(s)", extensionUuid), G_VARIANT_TYPE("(b)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, nullptr, nullptr);
}

bool ShellExtensionLink::shellRunning() const {
    GVariant* reply = g_dbus_connection_call_sync(
        shared->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", shellName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, callTimeoutMs,
        nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

void ShellExtensionLink::checkAttachedSoon(double seconds, std::function<void()> stillDetached) {
    if (shared->checkTimer) return;
    shared->stillDetached = std::move(stillDetached);
    shared->checkTimer = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(seconds * 1000),
        [](gpointer data) {
            static_cast<State*>(data)->checkAttached();
            return G_SOURCE_REMOVE;
        },
        shared.get(), nullptr);
}

}  // namespace larkspire::gnome
