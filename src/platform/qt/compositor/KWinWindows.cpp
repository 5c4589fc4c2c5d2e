#include "platform/qt/compositor/KWinWindows.h"

#include "platform/types/Signal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace larkspire::qt {

using linux_desktop::DesktopWindow;
using nlohmann::json;

namespace {

const QString kwinService = "org.kde.KWin";
const QString reportPath = "/org/larkspire/KWinWindows";
const QString reportInterface = "org.larkspire.KWinWindows";
const QString pluginName = "larkspire-window-list";
// A report lists a few hundred windows at most; past this it is no report to read.
constexpr std::size_t maximumReport = 8 * 1024 * 1024;
constexpr std::size_t maximumWindows = 1024;
constexpr int answerMilliseconds = 2000;

std::optional<Rect> rect(const json& window, const char* key) {
    auto found = window.find(key);
    if (found == window.end() || !found->is_object()) return std::nullopt;
    Rect r;
    for (auto [name, value] :
         {std::pair{"x", &r.x}, {"y", &r.y}, {"width", &r.width}, {"height", &r.height}}) {
        auto field = found->find(name);
        if (field == found->end() || !field->is_number()) return std::nullopt;
        *value = field->get<double>();
    }
    if (!r.isFinite() || r.width < 0 || r.height < 0) return std::nullopt;
    return r;
}

bool flag(const json& window, const char* key) {
    auto found = window.find(key);
    return found != window.end() && found->is_boolean() && found->get<bool>();
}

}  // namespace

std::optional<KWinReport> KWinReport::parse(std::string_view text,
                                            std::map<std::string, std::uint32_t>& numbers) {
    if (text.size() > maximumReport) return std::nullopt;
    auto report = json::parse(text.begin(), text.end(), nullptr, false);
    if (report.is_discarded() || !report.is_object() || !report.contains("windows") ||
        !report["windows"].is_array())
        return std::nullopt;

    struct Stacked {
        double stackingOrder;
        DesktopWindow window;
    };
    std::vector<Stacked> stacked;
    std::map<std::string, std::uint32_t> kept;
    std::uint32_t next = 1;
    for (const auto& [id, number] : numbers) next = std::max(next, number + 1);
    KWinReport parsed;
    for (const auto& window : report["windows"]) {
        if (stacked.size() >= maximumWindows) break;
        if (!window.is_object() || !window.contains("id") || !window["id"].is_string()) continue;
        auto frame = rect(window, "frame");
        if (!frame) continue;
        auto id = window["id"].get<std::string>();
        if (kept.contains(id)) continue;  // a window listed twice is listed once
        auto known = numbers.find(id);
        auto number = known != numbers.end() ? known->second : next++;
        kept.emplace(id, number);

        DesktopWindow listed{.number = number};
        if (auto pid = window.find("pid");
            pid != window.end() && pid->is_number_integer() && pid->get<std::int64_t>() > 0 &&
            pid->get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max())
            listed.processIdentifier = static_cast<std::int32_t>(pid->get<std::int64_t>());
        if (auto caption = window.find("caption"); caption != window.end() && caption->is_string())
            listed.title = caption->get<std::string>();
        listed.frame = *frame;
        // The surface without the decoration KWin draws around it.
        listed.client = rect(window, "client").value_or(*frame);
        listed.onScreen = flag(window, "onScreen");
        listed.desktopElement = flag(window, "desktopElement");
        listed.windowRelativeExtents = !flag(window, "x11");
        double order = 0;
        if (auto at = window.find("stackingOrder"); at != window.end() && at->is_number())
            order = at->get<double>();
        stacked.push_back({order, std::move(listed)});
        if (auto active = report.find("active");
            active != report.end() && active->is_string() && active->get<std::string>() == id)
            parsed.active = number;
    }
    // KWin counts its stacking order from the bottom.
    std::stable_sort(stacked.begin(), stacked.end(),
                     [](const Stacked& a, const Stacked& b) { return a.stackingOrder > b.stackingOrder; });
    for (auto& one : stacked) parsed.windows.push_back(std::move(one.window));
    numbers = std::move(kept);
    return parsed;
}

std::string kwinWindowScript(const std::string& destination, const std::string& path) {
    // KWin 5 names windows clients; KWin 6 names them windows and desktops by object.
    std::string script = R"js(
var destination = "@DESTINATION@";
function area(r) { return r ? {x: r.x, y: r.y, width: r.width, height: r.height} : null; }
function windows() { return workspace.windowList ? workspace.windowList() : workspace.clientList(); }
function active() { return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient; }
function onCurrentDesktop(w) {
    if (w.onAllDesktops) return true;
    if (w.desktops !== undefined && w.desktops.length !== undefined) return w.desktops.indexOf(workspace.currentDesktop) >= 0;
    return w.desktop === workspace.currentDesktop;
}
function report() {
    var list = windows();
    var out = [];
    for (var i = 0; i < list.length; ++i) {
        var w = list[i];
        if (w.deleted) continue;
        out.push({id: String(w.internalId), pid: w.pid, caption: String(w.caption), stackingOrder: w.stackingOrder,
                  frame: area(w.frameGeometry), client: area(w.bufferGeometry),
                  onScreen: !w.minimized && !w.hidden && onCurrentDesktop(w),
                  desktopElement: !!(w.desktopWindow || w.dock), x11: typeof w.windowId === "number" && w.windowId > 0});
    }
    var now = active();
    callDBus(destination, "@PATH@", "org.larkspire.KWinWindows", "Report",
             JSON.stringify({windows: out, active: now ? String(now.internalId) : null}));
}
function follow(w) {
    var signals = ["frameGeometryChanged", "captionChanged", "minimizedChanged", "desktopChanged",
                   "desktopsChanged", "stackingOrderChanged"];
    for (var i = 0; i < signals.length; ++i)
        if (w[signals[i]] !== undefined) w[signals[i]].connect(report);
}
var list = windows();
for (var i = 0; i < list.length; ++i) follow(list[i]);
var added = workspace.windowAdded || workspace.clientAdded;
added.connect(function (w) { follow(w); report(); });
(workspace.windowRemoved || workspace.clientRemoved).connect(report);
(workspace.windowActivated || workspace.clientActivated).connect(report);
workspace.currentDesktopChanged.connect(report);
report();
)js";
    auto replace = [&script](const std::string& placeholder, const std::string& value) {
        script.replace(script.find(placeholder), placeholder.size(), value);
    };
    replace("@DESTINATION@", destination);
    replace("@PATH@", path);
    return script;
}

struct KWinWindows::State {
    // Takes the script's reports; only KWin may send them.
    class Receiver : public QDBusVirtualObject {
      public:
        explicit Receiver(State& state) : state(state) {}
        QString introspect(const QString&) const override {
            return "<interface name=\"" + reportInterface +
                   "\"><method name=\"Report\"><arg name=\"windows\" type=\"s\" direction=\"in\"/></method>"
                   "</interface>";
        }
        bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
            if (message.interface() != reportInterface || message.member() != "Report") return false;
            auto arguments = message.arguments();
            if (message.service() == state.kwinOwner && arguments.size() == 1 &&
                arguments[0].typeId() == QMetaType::QString)
                state.receive(arguments[0].toString().toStdString());
            if (!message.isReplyRequired()) return true;
            connection.send(message.createReply());
            return true;
        }

      private:
        State& state;
    };

    Logger log;
    QDBusConnection bus = QDBusConnection::sessionBus();
    Receiver receiver{*this};
    QDBusServiceWatcher watcher;
    std::unique_ptr<QTemporaryFile> scriptFile;
    QString kwinOwner;
    bool loaded = false;
    bool refusedSaid = false;
    bool reportProblemSaid = false;
    std::map<std::string, std::uint32_t> numbers;
    KWinReport latest;
    Signal activations;

    explicit State(Log& log) : log(log, "windows") {}

    std::optional<QDBusMessage> call(const QString& path, const QString& interface, const QString& method,
                                     const QList<QVariant>& arguments = {}) {
        auto message = QDBusMessage::createMethodCall(kwinService, path, interface, method);
        message.setArguments(arguments);
        auto reply = bus.call(message, QDBus::Block, answerMilliseconds);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            lastError = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
            return std::nullopt;
        }
        return reply;
    }
    QString lastError;

    bool quiet = false;  // while a starting KWin may not have its scripting ready yet

    void refused(const QString& why) {
        loaded = false;
        lastError = why;
        if (refusedSaid || quiet) return;
        refusedSaid = true;
        log.error("KWin-Skript abgelehnt, kein Auswahl-Schild: " + why.toStdString());
    }

    // Loads the script afresh: one left by an earlier Larkspire would report to a name that is gone.
    void load() {
        loaded = false;
        if (!bus.isConnected()) return refused("kein Sitzungsbus");
        kwinOwner = bus.interface()->serviceOwner(kwinService).value();
        const QString scripting = "org.kde.kwin.Scripting";
        if (auto was = call("/Scripting", scripting, "isScriptLoaded", {pluginName});
            was && !was->arguments().isEmpty() && was->arguments()[0].toBool())
            call("/Scripting", scripting, "unloadScript", {pluginName});
        scriptFile = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/larkspire-kwin-XXXXXX.js");
        auto text = kwinWindowScript(bus.baseService().toStdString(), reportPath.toStdString());
        if (!scriptFile->open() ||
            scriptFile->write(text.data(), static_cast<qint64>(text.size())) !=
                static_cast<qint64>(text.size()) ||
            !scriptFile->flush())
            return refused("Skriptdatei nicht geschrieben");
        auto id = call("/Scripting", scripting, "loadScript", {scriptFile->fileName(), pluginName});
        if (!id) return refused(lastError);
        int number = id->arguments().isEmpty() ? -1 : id->arguments()[0].toInt();
        if (number < 0) return refused("loadScript gab " + QString::number(number));
        // KWin 5 puts the script at /<id>, KWin 6 at /Scripting/Script<id>.
        const QString script = "org.kde.kwin.Script";
        if (!call("/" + QString::number(number), script, "run") &&
            !call("/Scripting/Script" + QString::number(number), script, "run"))
            return refused(lastError);
        loaded = true;
        refusedSaid = false;
        log.info("KWin-Skript meldet die Fenster");
    }

    void receive(const std::string& text) {
        auto report = KWinReport::parse(text, numbers);
        if (!report) {
            if (!reportProblemSaid) log.error("KWin-Fensterliste nicht gelesen: unlesbarer Bericht");
            reportProblemSaid = true;
            return;
        }
        reportProblemSaid = false;
        latest = std::move(*report);
        activations.notify();
    }

    // A KWin that just took its name on the bus offers its scripting a moment later.
    void loadWhenReady(int attempts) {
        quiet = attempts > 1;
        load();
        quiet = false;
        if (loaded || attempts <= 1) return;
        QTimer::singleShot(250, &watcher, [this, attempts] { loadWhenReady(attempts - 1); });
    }

    void gone() {
        loaded = false;
        latest = {};
        numbers.clear();
        log.error("KWin beendet: keine Fensterliste, bis KWin wieder läuft");
        activations.notify();
    }

    ~State() {
        // KWin would otherwise keep calling a name that is gone.
        if (loaded) {
            auto message = QDBusMessage::createMethodCall(kwinService, "/Scripting", "org.kde.kwin.Scripting",
                                                          "unloadScript");
            message.setArguments({pluginName});
            bus.call(message, QDBus::Block, answerMilliseconds);
        }
        bus.unregisterObject(reportPath);
    }
};

KWinWindows::KWinWindows(Log& log) : state(std::make_unique<State>(log)) {
    auto* raw = state.get();
    if (!raw->bus.registerVirtualObject(reportPath, &raw->receiver)) {
        raw->refused("Objekt auf dem Sitzungsbus nicht angemeldet");
        return;
    }
    raw->watcher.setConnection(raw->bus);
    raw->watcher.addWatchedService(kwinService);
    raw->watcher.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(&raw->watcher, &QDBusServiceWatcher::serviceOwnerChanged, &raw->watcher,
                     [raw](const QString&, const QString&, const QString& owner) {
                         if (owner.isEmpty()) return raw->gone();
                         raw->log.info("KWin läuft wieder");
                         raw->loadWhenReady(20);
                     });
    raw->load();
}

KWinWindows::~KWinWindows() = default;

bool KWinWindows::isRunning() {
    auto bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(kwinService).value();
}

bool KWinWindows::isLoaded() const {
    return state->loaded;
}

std::vector<DesktopWindow> KWinWindows::windows() {
    return state->latest.windows;
}

std::optional<std::uint32_t> KWinWindows::activeWindow() {
    return state->latest.active;
}

double KWinWindows::primaryScreenHeight() const {
    // The same height the overlay windows convert their frames with.
    auto* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

std::shared_ptr<void> KWinWindows::observeActivations(std::function<void()> handler) {
    return state->activations.observe(std::move(handler));
}

}  // namespace larkspire::qt
