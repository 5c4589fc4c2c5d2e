#include "platform/linux/accessibility/LiveAccessibleObject.h"

#include <atomic>
#include <atspi/atspi.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <gio/gio.h>

namespace larkspire::linux_desktop {

namespace {

std::atomic<std::uint64_t> calls{0};

// A program that stopped answering costs the whole timeout on every call. After two slow calls in a
// row the rest of the pass answers empty at once, so a hung program holds a reader for 0.4 s, not for
// minutes.
constexpr int slowCallsBeforeGivingUp = 2;
thread_local int slowCalls = 0;
thread_local bool slowedThisPass = false;

struct Call {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool skip = slowCalls >= slowCallsBeforeGivingUp;
    Call() { ++calls; }
    ~Call() {
        if (skip) return;
        auto elapsed = std::chrono::steady_clock::now() - start;
        bool slow = elapsed >= std::chrono::milliseconds(accessibilityTimeoutMilliseconds * 9 / 10);
        slowCalls = slow ? slowCalls + 1 : 0;
        slowedThisPass = slowedThisPass || slow;
    }
    bool skipped() const { return skip; }
};

// Drops the error of a failed call; the caller answers empty.
bool failed(GError*& error) {
    if (!error) return false;
    g_error_free(error);
    error = nullptr;
    return true;
}

std::string taken(gchar* text) {
    if (!text) return {};
    std::string copy = text;
    g_free(text);
    return copy;
}

std::shared_ptr<const AccessibleObject> wrapped(AtspiAccessible* object) {
    if (!object) return nullptr;
    return std::make_shared<LiveAccessibleObject>(object);
}

// Whether a connection to the address opens; libatspi ends the process when it cannot reach the bus.
std::optional<std::string> reachable(const std::string& address) {
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection) {
        std::string why = error ? error->message : "unbekannter Fehler";
        if (error) g_error_free(error);
        return "Der Barrierefreiheits-Bus ist nicht erreichbar: " + why;
    }
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    return std::nullopt;
}

std::optional<std::string> accessibilityBusAddress(std::string& address) {
    if (const char* given = std::getenv("AT_SPI_BUS_ADDRESS"); given && *given) {
        address = given;
        return std::nullopt;
    }
    GError* error = nullptr;
    // A connection of its own, not the process's shared one, so a bus that came back is found again.
    gchar* sessionAddress = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusConnection* session =
        sessionAddress
            ? g_dbus_connection_new_for_address_sync(
                  sessionAddress,
                  static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                  nullptr, nullptr, &error)
            : nullptr;
    g_free(sessionAddress);
    if (!session) {
        std::string why = error ? error->message : "unbekannter Fehler";
        if (error) g_error_free(error);
        return "Kein Sitzungs-Bus: " + why;
    }
    GVariant* reply = g_dbus_connection_call_sync(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                                  "GetAddress", nullptr, G_VARIANT_TYPE("(s)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
    g_object_unref(session);
    if (!reply) {
        std::string why = error ? error->message : "unbekannter Fehler";
        if (error) g_error_free(error);
        return "Kein Barrierefreiheits-Bus (at-spi2-core): " + why;
    }
    const gchar* found = nullptr;
    g_variant_get(reply, "(&s)", &found);
    address = found ? found : "";
    g_variant_unref(reply);
    if (address.empty()) return "Kein Barrierefreiheits-Bus (at-spi2-core): leere Adresse";
    return std::nullopt;
}

}  // namespace

LiveAccessibleObject::LiveAccessibleObject(_AtspiAccessible* adopted) : object(adopted) {}

LiveAccessibleObject::~LiveAccessibleObject() {
    if (object) g_object_unref(object);
}

std::uint64_t LiveAccessibleObject::callCount() {
    return calls.load();
}

void LiveAccessibleObject::startPass() {
    slowCalls = 0;
    slowedThisPass = false;
}

bool LiveAccessibleObject::stalled() {
    return slowCalls >= slowCallsBeforeGivingUp;
}

bool LiveAccessibleObject::slowedInPass() {
    return slowedThisPass;
}

std::string LiveAccessibleObject::role() const {
    Call call;
    if (call.skipped()) return {};
    GError* error = nullptr;
    std::string role = taken(atspi_accessible_get_role_name(object, &error));
    return failed(error) ? std::string() : role;
}

std::string LiveAccessibleObject::name() const {
    Call call;
    if (call.skipped()) return {};
    GError* error = nullptr;
    std::string name = taken(atspi_accessible_get_name(object, &error));
    return failed(error) ? std::string() : name;
}

std::vector<std::string> LiveAccessibleObject::states() const {
    Call call;
    if (call.skipped()) return {};
    std::vector<std::string> names;
    AtspiStateSet* set = atspi_accessible_get_state_set(object);
    if (!set) return names;
    GArray* states = atspi_state_set_get_states(set);
    GEnumClass* type = static_cast<GEnumClass*>(g_type_class_ref(ATSPI_TYPE_STATE_TYPE));
    for (guint i = 0; states && i < states->len; ++i) {
        GEnumValue* value = g_enum_get_value(type, g_array_index(states, AtspiStateType, i));
        if (value) names.emplace_back(value->value_nick);
    }
    g_type_class_unref(type);
    if (states) g_array_free(states, TRUE);
    g_object_unref(set);
    return names;
}

std::map<std::string, std::string> LiveAccessibleObject::attributes() const {
    Call call;
    if (call.skipped()) return {};
    std::map<std::string, std::string> found;
    GError* error = nullptr;
    GHashTable* table = atspi_accessible_get_attributes(object, &error);
    if (failed(error) || !table) return found;
    GHashTableIter iterator;
    gpointer key = nullptr;
    gpointer value = nullptr;
    g_hash_table_iter_init(&iterator, table);
    while (g_hash_table_iter_next(&iterator, &key, &value))
        if (key && value) found[static_cast<const char*>(key)] = static_cast<const char*>(value);
    g_hash_table_unref(table);
    return found;
}

std::optional<Rect> LiveAccessibleObject::extents() const {
    Call call;
    if (call.skipped()) return {};
    AtspiComponent* component = atspi_accessible_get_component_iface(object);
    if (!component) return std::nullopt;
    GError* error = nullptr;
    AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &error);
    g_object_unref(component);
    if (failed(error) || !rect) return std::nullopt;
    Rect extents{double(rect->x), double(rect->y), double(rect->width), double(rect->height)};
    g_free(rect);
    return extents;
}

std::optional<std::string> LiveAccessibleObject::text() const {
    Call call;
    if (call.skipped()) return {};
    AtspiText* text = atspi_accessible_get_text_iface(object);
    if (!text) return std::nullopt;
    GError* error = nullptr;
    std::string content = taken(atspi_text_get_text(text, 0, -1, &error));
    g_object_unref(text);
    if (failed(error)) return std::nullopt;
    return content;
}

int LiveAccessibleObject::childCount() const {
    Call call;
    if (call.skipped()) return {};
    GError* error = nullptr;
    int count = atspi_accessible_get_child_count(object, &error);
    return failed(error) || count < 0 ? 0 : count;
}

std::shared_ptr<const AccessibleObject> LiveAccessibleObject::child(int index) const {
    Call call;
    if (call.skipped()) return {};
    if (index < 0) return nullptr;
    GError* error = nullptr;
    AtspiAccessible* found = atspi_accessible_get_child_at_index(object, index, &error);
    if (failed(error)) {
        if (found) g_object_unref(found);
        return nullptr;
    }
    return wrapped(found);
}

std::optional<std::vector<int>> LiveAccessibleObject::selectedRows() const {
    Call call;
    if (call.skipped()) return {};
    AtspiTable* table = atspi_accessible_get_table_iface(object);
    if (!table) return std::nullopt;
    GError* error = nullptr;
    GArray* rows = atspi_table_get_selected_rows(table, &error);
    g_object_unref(table);
    if (failed(error)) {
        if (rows) g_array_free(rows, TRUE);
        return std::nullopt;
    }
    std::vector<int> selected;
    for (guint i = 0; rows && i < rows->len; ++i) selected.push_back(g_array_index(rows, gint, i));
    if (rows) g_array_free(rows, TRUE);
    return selected;
}

std::shared_ptr<const AccessibleObject> LiveAccessibleObject::childAtPoint(double x, double y) const {
    Call call;
    if (call.skipped()) return {};
    if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e9 || std::abs(y) > 1e9) return nullptr;
    AtspiComponent* component = atspi_accessible_get_component_iface(object);
    if (!component) return nullptr;
    GError* error = nullptr;
    AtspiAccessible* found = atspi_component_get_accessible_at_point(
        component, static_cast<gint>(std::lround(x)), static_cast<gint>(std::lround(y)),
        ATSPI_COORD_TYPE_SCREEN, &error);
    g_object_unref(component);
    if (failed(error)) {
        if (found) g_object_unref(found);
        return nullptr;
    }
    return wrapped(found);
}

int LiveAccessibleObject::indexInParent() const {
    Call call;
    if (call.skipped()) return -1;
    GError* error = nullptr;
    int index = atspi_accessible_get_index_in_parent(object, &error);
    return failed(error) || index < 0 ? -1 : index;
}

std::int32_t LiveAccessibleObject::processIdentifier() const {
    Call call;
    if (call.skipped()) return {};
    GError* error = nullptr;
    guint pid = atspi_accessible_get_process_id(object, &error);
    return failed(error) ? 0 : static_cast<std::int32_t>(pid);
}

std::optional<std::string> connectAccessibilityBus(GMainContext* context) {
    static bool connected = false;
    if (connected) {
        atspi_set_main_context(context);
        return std::nullopt;
    }
    std::string address;
    if (auto problem = accessibilityBusAddress(address)) return problem;
    if (auto problem = reachable(address)) return problem;
    int result = atspi_init();
    // Moves the connection's sources off the default context, which another thread's loop may run.
    // Chosen before atspi_init, events were never delivered.
    atspi_set_main_context(context);
    if (result != 0 && result != 1) return "libatspi kann den Barrierefreiheits-Bus nicht öffnen";
    atspi_set_timeout(accessibilityTimeoutMilliseconds, accessibilityTimeoutMilliseconds);
    connected = true;
    return std::nullopt;
}

std::vector<std::shared_ptr<LiveAccessibleObject>> accessibleApplications() {
    std::vector<std::shared_ptr<LiveAccessibleObject>> applications;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return applications;
    LiveAccessibleObject root(desktop);
    int count = root.childCount();
    for (int i = 0; i < count; ++i) {
        ++calls;
        GError* error = nullptr;
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, &error);
        if (failed(error)) {
            if (application) g_object_unref(application);
            continue;
        }
        if (application) applications.push_back(std::make_shared<LiveAccessibleObject>(application));
    }
    return applications;
}

}  // namespace larkspire::linux_desktop
