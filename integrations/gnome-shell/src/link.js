// The extension's side of the link to Larkspire: finds it on the session bus (again after either
// restarts), hands it the clipboard's file lists and the windows as they change, writes lists back
// on its request and shows its tray icon where no StatusNotifier host runs. Sleeps while nothing
// changes: no timer runs except while a clipboard read is under way.

import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import St from 'gi://St';
import Clutter from 'gi://Clutter';

import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import * as Config from 'resource:///org/gnome/shell/misc/config.js';

import {
    EXTENSION_INTERFACE, EXTENSION_PATH, LARKSPIRE_BUS_NAME, LARKSPIRE_INTERFACE, LARKSPIRE_PATH,
    MAX_FILE_LIST_BYTES, fileListTypesOffered, fileListsToHandOver, formatToWrite, isLarkspireOwner,
    menuLabel, trayCountText,
} from './formats.js';
import {MAX_OVERLAYS, isOverlay, overlayRequest, windowReport, x11Id} from './windows.js';

const EXTENSION_XML = `<node>
  <interface name="${EXTENSION_INTERFACE}">
    <method name="SetClipboard">
      <arg type="a{say}" name="fileLists" direction="in"/>
      <arg type="b" name="written" direction="out"/>
    </method>
    <method name="StackOverlay">
      <arg type="u" name="overlay" direction="in"/>
      <arg type="s" name="window" direction="in"/>
    </method>
    <property name="Version" type="s" access="read"/>
  </interface>
</node>`;

const STATUS_NOTIFIER_WATCHER = 'org.kde.StatusNotifierWatcher';
// An owner that sends no byte for this long is given up, so an offer that never delivers holds
// nothing up; the next change is read as usual.
const READ_PATIENCE_MS = 1000;
const CALL_TIMEOUT_MS = 2000;

const WINDOW_TYPES = {
    [Meta.WindowType.NORMAL]: 'normal',
    [Meta.WindowType.DESKTOP]: 'desktop',
    [Meta.WindowType.DOCK]: 'dock',
    [Meta.WindowType.DIALOG]: 'dialog',
    [Meta.WindowType.MODAL_DIALOG]: 'modal-dialog',
    [Meta.WindowType.UTILITY]: 'utility',
};

// Work done once before the next frame: GNOME Shell 45 moved it to the compositor's laters.
function addLater(callback) {
    const laters = global.compositor?.get_laters?.();
    return laters ? laters.add(Meta.LaterType.BEFORE_REDRAW, callback)
        : Meta.later_add(Meta.LaterType.BEFORE_REDRAW, callback);
}

function removeLater(id) {
    const laters = global.compositor?.get_laters?.();
    if (laters)
        laters.remove(id);
    else
        Meta.later_remove(id);
}

function log(message) {
    console.log(`Larkspire: ${message}`);
}

// The Shell hands a click to the window whose picture lies under the pointer, and the badge's
// empty X11 input region does not always reach it: its pictures take no clicks at all.
function letClicksThrough(actor) {
    actor.reactive = false;
    for (const child of actor.get_children())
        letClicksThrough(child);
}

function decode(bytes) {
    try {
        return new TextDecoder('utf-8', {fatal: true}).decode(bytes.toArray());
    } catch {
        return null;  // not text, so no file list
    }
}

export class Link {
    constructor(metadata) {
        this._version = metadata['version-name'] ?? String(metadata.version ?? '');
        this._larkspire = null;  // the unique name of the Larkspire that passed the checks
        this._checking = null;
        this._readSerial = 0;
        this._pendingReads = [];
        this._tray = null;
        this._trayWanted = false;
        this._lastOffered = [];  // the file-list types of the last list offered
        this._larkspirePid = 0;
        this._followed = new Map();  // window → its signal connections, while Larkspire is attached
        this._reportLater = 0;
        this._lastReport = null;
        this._overlays = new Map();  // Larkspire's badge windows by X11 id → the window each lies above
        this._movedOverlays = new Map();  // badge actors taken out of the Shell's top group → destroy signal
    }

    start() {
        this._bus = Gio.DBus.session;
        this._exported = Gio.DBusExportedObject.wrapJSObject(EXTENSION_XML, this);
        this._exported.export(this._bus, EXTENSION_PATH);
        this._selection = global.display.get_selection();
        this._ownerChanged = this._selection.connect('owner-changed', (selection, type) => {
            if (type === Meta.SelectionType.SELECTION_CLIPBOARD && this._larkspire)
                this._readClipboard();
        });
        this._larkspireWatch = Gio.bus_watch_name_on_connection(this._bus, LARKSPIRE_BUS_NAME,
            Gio.BusNameWatcherFlags.NONE, (connection, name, owner) => this._larkspireAppeared(owner),
            () => this._larkspireVanished());
        this._hostWatch = Gio.bus_watch_name_on_connection(this._bus, STATUS_NOTIFIER_WATCHER,
            Gio.BusNameWatcherFlags.NONE, () => this._setTrayWanted(false), () => this._setTrayWanted(true));
    }

    stop() {
        if (this._larkspire)
            this._call('Detach', null, null);
        Gio.bus_unwatch_name(this._larkspireWatch);
        Gio.bus_unwatch_name(this._hostWatch);
        this._selection.disconnect(this._ownerChanged);
        this._cancelRead();
        this._exported.unexport();
        this._exported = null;
        this._larkspire = null;
        this._unfollowWindows();
        this._removeTray();
        if (this._traySignal)
            this._bus.signal_unsubscribe(this._traySignal);
        this._traySignal = 0;
    }

    get Version() {
        return this._version;
    }

    // Larkspire's request to put files on the clipboard, answered to Larkspire only.
    SetClipboardAsync(parameters, invocation) {
        if (!this._larkspire || invocation.get_sender() !== this._larkspire) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                'Nur Larkspire darf die Zwischenablage schreiben');
            return;
        }
        const [fileLists] = parameters;
        const read = {};
        for (const [type, value] of Object.entries(fileLists)) {
            const text = decode(new GLib.Bytes(value));
            if (text !== null)
                read[type] = text;
        }
        const lists = fileListsToHandOver(read);
        const type = formatToWrite(Object.keys(lists), this._lastOffered);
        if (type === null) {
            invocation.return_value(new GLib.Variant('(b)', [false]));
            return;
        }
        const bytes = new GLib.Bytes(new TextEncoder().encode(lists[type]));
        this._selection.set_owner(Meta.SelectionType.SELECTION_CLIPBOARD, Meta.SelectionSourceMemory.new(type, bytes));
        invocation.return_value(new GLib.Variant('(b)', [true]));
    }

    // Larkspire's request to keep one of its badge windows directly above a window of the report
    // (an empty id lets it go), answered to Larkspire only; anything else it asks is ignored.
    StackOverlayAsync(parameters, invocation) {
        if (!this._larkspire || invocation.get_sender() !== this._larkspire) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                'Nur Larkspire darf seine Fenster stapeln');
            return;
        }
        invocation.return_value(null);
        const request = overlayRequest(...parameters);
        if (!request)
            return;
        if (request.windowId === '')
            this._overlays.delete(request.overlay);
        else if (this._overlays.has(request.overlay) || this._overlays.size < MAX_OVERLAYS)
            this._overlays.set(request.overlay, request.windowId);
        this._stackOverlays();
    }

    _larkspireAppeared(owner) {
        this._larkspire = null;
        const checking = {owner};
        this._checking = checking;
        this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetConnectionCredentials', new GLib.Variant('(s)', [owner]), new GLib.VariantType('(a{sv})'),
            Gio.DBusCallFlags.NONE, CALL_TIMEOUT_MS, null, (bus, result) => {
                if (this._checking !== checking)
                    return;
                this._checking = null;
                let credentials = null, executable = null;
                try {
                    const [found] = bus.call_finish(result).deepUnpack();
                    credentials = {uid: found.UnixUserID?.deepUnpack(), pid: found.ProcessID?.deepUnpack()};
                    executable = GLib.file_read_link(`/proc/${credentials.pid}/exe`);
                } catch (e) {
                    log(`Besitzer von ${LARKSPIRE_BUS_NAME} nicht geprüft: ${e.message}`);
                }
                if (!isLarkspireOwner(credentials, new Gio.Credentials().get_unix_user(), executable)) {
                    log(`${LARKSPIRE_BUS_NAME} gehört nicht Larkspire (${executable ?? 'unbekannt'}); keine Verbindung`);
                    return;
                }
                this._attach(owner, credentials.pid);
            });
    }

    _attach(owner, pid) {
        this._bus.call(owner, LARKSPIRE_PATH, LARKSPIRE_INTERFACE, 'Attach',
            new GLib.Variant('(ss)', [this._version, Config.PACKAGE_VERSION]), new GLib.VariantType('(s)'),
            Gio.DBusCallFlags.NONE, CALL_TIMEOUT_MS, null, (bus, result) => {
                try {
                    const [larkspireVersion] = bus.call_finish(result).deepUnpack();
                    if (larkspireVersion !== this._version)
                        log(`Larkspire ${larkspireVersion}, Erweiterung ${this._version}`);
                } catch (e) {
                    log(`Larkspire nimmt die Erweiterung nicht an: ${e.message}`);
                    return;
                }
                this._larkspire = owner;
                this._larkspirePid = pid;
                this._traySignal = this._bus.signal_subscribe(owner, LARKSPIRE_INTERFACE, 'TrayChanged',
                    LARKSPIRE_PATH, null, Gio.DBusSignalFlags.NONE, () => this._updateTray());
                this._readClipboard();
                this._updateTray();
                this._followWindows();
            });
    }

    _larkspireVanished() {
        this._checking = null;
        this._larkspire = null;
        this._cancelRead();
        this._unfollowWindows();
        if (this._traySignal)
            this._bus.signal_unsubscribe(this._traySignal);
        this._traySignal = 0;
        this._removeTray();
    }

    _call(method, parameters, replyType, done) {
        this._bus.call(this._larkspire, LARKSPIRE_PATH, LARKSPIRE_INTERFACE, method, parameters,
            replyType, Gio.DBusCallFlags.NONE, CALL_TIMEOUT_MS, null, (bus, result) => {
                try {
                    const reply = bus.call_finish(result);
                    done?.(reply);
                } catch (e) {
                    log(`${method}: ${e.message}`);
                }
            });
    }

    // Reads the clipboard's file lists and hands them over; a change during the read starts it
    // again, so the last change always arrives. The formats are read at once, not one after the
    // other: each read waits for the owner, and they do not wait for each other.
    _readClipboard() {
        this._cancelRead();
        const serial = ++this._readSerial;
        const offered = this._selection.get_mimetypes(Meta.SelectionType.SELECTION_CLIPBOARD) ?? [];
        const types = fileListTypesOffered(offered);
        if (types.length > 0)
            this._lastOffered = [...types];
        const read = {};
        let left = types.length;
        if (left === 0) {
            this._handOver(read);
            return;
        }
        for (const type of types) {
            this._readFormat(type, text => {
                if (serial !== this._readSerial)
                    return;
                if (text !== null)
                    read[type] = text;
                if (--left > 0)
                    return;
                this._pendingReads = [];
                this._handOver(read);
            });
        }
    }

    _readFormat(type, done) {
        const cancellable = new Gio.Cancellable();
        const stream = Gio.MemoryOutputStream.new_resizable();
        const pending = {cancellable, timeout: 0};
        this._pendingReads.push(pending);
        pending.timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, READ_PATIENCE_MS, () => {
            pending.timeout = 0;
            log(`Zwischenablage nicht gelesen: ${type} (keine Daten nach ${READ_PATIENCE_MS / 1000} s)`);
            cancellable.cancel();
            return GLib.SOURCE_REMOVE;
        });
        this._selection.transfer_async(Meta.SelectionType.SELECTION_CLIPBOARD, type, MAX_FILE_LIST_BYTES + 1,
            stream, cancellable, (selection, result) => {
                if (pending.timeout)
                    GLib.source_remove(pending.timeout);
                pending.timeout = 0;
                if (cancellable.is_cancelled() && !this._pendingReads.includes(pending))
                    return;  // replaced by a newer read
                let text = null;
                try {
                    selection.transfer_finish(result);
                    stream.close(null);
                    const bytes = stream.steal_as_bytes();
                    if (bytes.get_size() <= MAX_FILE_LIST_BYTES)
                        text = decode(bytes);
                    else
                        log(`Zwischenablage nicht gelesen: ${type} (mehr als 32 MiB)`);
                } catch (e) {
                    if (!cancellable.is_cancelled())
                        log(`Zwischenablage nicht gelesen: ${type} (${e.message})`);
                }
                done(text);
            });
    }

    _cancelRead() {
        const pending = this._pendingReads;
        this._pendingReads = [];
        ++this._readSerial;
        for (const read of pending) {
            if (read.timeout)
                GLib.source_remove(read.timeout);
            read.timeout = 0;
            read.cancellable.cancel();
        }
    }

    _handOver(read) {
        if (!this._larkspire)
            return;
        const encoder = new TextEncoder();
        const lists = Object.entries(fileListsToHandOver(read)).map(([type, text]) => [type, encoder.encode(text)]);
        this._call('ClipboardChanged', new GLib.Variant('(a{say})', [Object.fromEntries(lists)]), null);
    }

    // The windows, reported while Larkspire is attached: after any change, at most once a frame, and
    // only when the report differs from the last one.
    _followWindows() {
        this._unfollowWindows();
        const changed = () => this._windowsChanged();
        this._displaySignals = [
            global.display.connect('window-created', (display, window) => {
                this._followWindow(window);
                changed();
                if (window.is_override_redirect() && window.get_pid() === this._larkspirePid) {
                    // Its picture, and so what takes the clicks, may come only after it appeared.
                    window.get_compositor_private()?.connect('first-frame', () => this._stackOverlays());
                    this._stackOverlays();
                }
            }),
            global.display.connect('restacked', () => {
                changed();
                this._stackOverlays();
            }),
            global.display.connect('notify::focus-window', changed),
        ];
        this._workspaceSignal = global.workspace_manager.connect('active-workspace-changed', changed);
        for (const actor of global.get_window_actors())
            this._followWindow(actor.meta_window);
        this._windowsChanged();
    }

    _followWindow(window) {
        if (this._followed.has(window))
            return;
        const changed = () => this._windowsChanged();
        const signals = ['position-changed', 'size-changed', 'notify::title', 'notify::minimized',
            'workspace-changed'].map(name => window.connect(name, changed));
        signals.push(window.connect('unmanaged', () => {
            this._unfollowWindow(window);
            changed();
        }));
        this._followed.set(window, signals);
    }

    _unfollowWindow(window) {
        for (const id of this._followed.get(window) ?? [])
            window.disconnect(id);
        this._followed.delete(window);
    }

    _unfollowWindows() {
        for (const window of [...this._followed.keys()])
            this._unfollowWindow(window);
        for (const id of this._displaySignals ?? [])
            global.display.disconnect(id);
        this._displaySignals = null;
        if (this._workspaceSignal)
            global.workspace_manager.disconnect(this._workspaceSignal);
        this._workspaceSignal = 0;
        if (this._reportLater)
            removeLater(this._reportLater);
        this._reportLater = 0;
        this._lastReport = null;
        this._overlays.clear();
        // Badge windows still shown go back where the Shell keeps windows it does not manage.
        for (const [actor, destroyed] of this._movedOverlays) {
            actor.disconnect(destroyed);
            actor.get_parent()?.remove_child(actor);
            global.top_window_group.add_child(actor);
        }
        this._movedOverlays.clear();
    }

    // The Shell keeps windows it does not manage, Larkspire's badge windows among them, above all
    // others and its own bar. Each badge window goes directly above the window it serves instead, so
    // whatever lies in front of that window covers the badge too, and nothing behind it does. The
    // Shell puts it back on top whenever it restacks; this runs after each time.
    _stackOverlays() {
        if (!this._larkspire || this._overlays.size === 0)
            return;
        const windows = new Map(), overlays = new Map();
        for (const actor of global.get_window_actors()) {
            const window = actor.meta_window;
            if (!window)
                continue;
            windows.set(String(window.get_id()), actor);
            const overlay = x11Id(window.get_description());
            if (this._overlays.has(overlay) && isOverlay({pid: window.get_pid(),
                overrideRedirect: window.is_override_redirect(), title: window.get_title(),
                description: window.get_description()}, this._larkspirePid, overlay))
                overlays.set(overlay, actor);
        }
        for (const [overlay, windowId] of this._overlays) {
            const below = windows.get(windowId);
            if (!below) {
                this._overlays.delete(overlay);  // the window it served is gone
                continue;
            }
            const actor = overlays.get(overlay);
            const group = below.get_parent();
            if (!actor || !group || actor === below)
                continue;
            letClicksThrough(actor);
            if (actor.get_parent() !== group) {
                actor.get_parent()?.remove_child(actor);
                group.insert_child_above(actor, below);
                if (!this._movedOverlays.has(actor))
                    this._movedOverlays.set(actor, actor.connect('destroy', () => this._movedOverlays.delete(actor)));
            } else if (below.get_next_sibling() !== actor) {
                group.set_child_above_sibling(actor, below);
            }
        }
    }

    _windowsChanged() {
        if (this._reportLater || !this._larkspire)
            return;
        this._reportLater = addLater(() => {
            this._reportLater = 0;
            this._reportWindows();
            return GLib.SOURCE_REMOVE;
        });
    }

    _reportWindows() {
        if (!this._larkspire)
            return;
        const workspace = global.workspace_manager.get_active_workspace();
        // The window group holds the windows bottom to top, as they are drawn.
        const windows = global.get_window_actors().map(actor => actor.meta_window).filter(window =>
            window && !window.is_override_redirect()).reverse().map(window => ({
            id: window.get_id(),
            pid: window.get_pid(),
            title: window.get_title(),
            wmClass: window.get_wm_class(),
            type: WINDOW_TYPES[window.get_window_type()] ?? 'other',
            frame: window.get_frame_rect(),
            buffer: window.get_buffer_rect(),
            shown: !window.minimized && window.located_on_workspace(workspace),
            x11: window.get_client_type() === Meta.WindowClientType.X11,
        }));
        const report = windowReport(windows, global.display.focus_window?.get_id(), this._larkspirePid);
        if (report === this._lastReport)
            return;
        this._lastReport = report;
        this._call('WindowsChanged', new GLib.Variant('(s)', [report]), null);
    }

    // The tray: shown only while Larkspire is attached and no StatusNotifier host would show it.
    _setTrayWanted(wanted) {
        this._trayWanted = wanted;
        this._updateTray();
    }

    _updateTray() {
        if (!this._trayWanted || !this._larkspire) {
            this._removeTray();
            return;
        }
        this._call('GetTray', null, new GLib.VariantType('(ssu)'), reply => {
            if (!this._trayWanted || !this._larkspire)
                return;
            const [iconName, tooltip, count] = reply.deepUnpack();
            this._showTray(iconName, tooltip, count);
        });
    }

    _showTray(iconName, tooltip, count) {
        if (!this._tray) {
            const button = new PanelMenu.Button(0.0, 'Larkspire', false);
            const box = new St.BoxLayout({style_class: 'panel-status-indicators-box'});
            this._trayIcon = new St.Icon({style_class: 'system-status-icon'});
            this._trayCount = new St.Label({y_align: Clutter.ActorAlign.CENTER});
            box.add_child(this._trayIcon);
            box.add_child(this._trayCount);
            button.add_child(box);
            button.menu.connect('open-state-changed', (menu, open) => {
                if (open)
                    this._fillMenu();
            });
            this._tray = button;
            Main.panel.addToStatusArea('larkspire', button);
            log('Symbol in der oberen Leiste gezeigt');
        }
        this._trayIcon.icon_name = /^[A-Za-z0-9._-]{1,100}$/.test(iconName) ? iconName : 'larkspire-symbolic';
        this._trayCount.text = trayCountText(count);
        this._tray.accessible_name = menuLabel(tooltip);
        // A menu without items does not open, so it is filled before it is ever opened.
        this._fillMenu();
    }

    _fillMenu() {
        const menu = this._tray.menu;
        this._call('GetMenu', null, new GLib.VariantType('(a(sbbb))'), reply => {
            if (!this._tray || menu !== this._tray.menu)
                return;
            const [items] = reply.deepUnpack();
            menu.removeAll();
            for (const [title, enabled, checked, separator] of items.slice(0, 100)) {
                if (separator) {
                    menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                    continue;
                }
                const item = new PopupMenu.PopupMenuItem(menuLabel(title));
                item.setSensitive(enabled);
                if (checked)
                    item.setOrnament(PopupMenu.Ornament.CHECK);
                item.connect('activate', () =>
                    this._call('ActivateMenuItem', new GLib.Variant('(s)', [title]), null));
                menu.addMenuItem(item);
            }
        });
    }

    _removeTray() {
        this._tray?.destroy();
        this._tray = null;
        this._trayIcon = null;
        this._trayCount = null;
    }
}
