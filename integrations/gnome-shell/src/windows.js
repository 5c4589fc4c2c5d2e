// What the extension tells Larkspire about the Shell's windows, decided without the Shell so gjs
// tests it on its own. The report has the shape of the one KWin's script sends, so Larkspire reads
// both with one parser.

// A session has a few dozen windows; past these the rest is left out rather than sent.
export const MAX_REPORTED_WINDOWS = 256;
export const MAX_TITLE_LENGTH = 512;

// The window types that hide what lies below them; menus and tooltips come and go with a pointer.
const COVERING_TYPES = ['normal', 'dialog', 'modal-dialog', 'utility'];

// A title as another program set it, made fit for the report: bounded, one line, and well-formed
// UTF-16, since a lone surrogate would make the whole report unreadable on Larkspire's side.
export function reportedText(text) {
    if (typeof text !== 'string')
        return '';
    let bounded = text.length > MAX_TITLE_LENGTH ? text.slice(0, MAX_TITLE_LENGTH) : text;
    // eslint-disable-next-line no-control-regex
    bounded = bounded.replace(/[\u0000-\u001f\u007f]/g, ' ');
    return bounded.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, '\ufffd');
}

function area(rect) {
    const whole = value => Number.isFinite(value) ? Math.round(value) : 0;
    return {x: whole(rect?.x), y: whole(rect?.y), width: Math.max(0, whole(rect?.width)),
        height: Math.max(0, whole(rect?.height))};
}

function overlaps(a, b) {
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.x + b.width &&
        b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// What of `rect` lies outside `hole`: up to four pieces, above, below, left and right of it.
function outside(rect, hole) {
    if (!overlaps(rect, hole))
        return [rect];
    const top = Math.max(rect.y, hole.y), bottom = Math.min(rect.y + rect.height, hole.y + hole.height);
    return [
        {x: rect.x, y: rect.y, width: rect.width, height: top - rect.y},
        {x: rect.x, y: bottom, width: rect.width, height: rect.y + rect.height - bottom},
        {x: rect.x, y: top, width: hole.x - rect.x, height: bottom - top},
        {x: hole.x + hole.width, y: top, width: rect.x + rect.width - hole.x - hole.width, height: bottom - top},
    ].filter(piece => piece.width > 0 && piece.height > 0);
}

// Pieces a window's visible part may be cut into before it counts as visible: a few dozen windows
// cut it into far fewer, and past this some of it surely shows.
const MAX_VISIBLE_PIECES = 1024;

// Whether the windows in front hide all of `frame` together; a window nothing hides entirely keeps
// its badge, which lies directly above it and so under whatever covers part of it.
export function coveredEntirely(frame, fronts) {
    let visible = frame.width > 0 && frame.height > 0 ? [frame] : [];
    for (const front of fronts) {
        visible = visible.flatMap(piece => outside(piece, front));
        if (visible.length === 0 || visible.length > MAX_VISIBLE_PIECES)
            break;
    }
    return visible.length === 0 && frame.width > 0 && frame.height > 0;
}

// `windows` front to back, each {id, pid, title, wmClass, type, frame, buffer, shown, x11}; `shown`
// means mapped, not minimised and on the current workspace. A window that those in front of it hide
// entirely counts as not on screen; Larkspire's own windows (`ownPid`) hide nothing.
export function windowReport(windows, focusId, ownPid) {
    const listed = windows.slice(0, MAX_REPORTED_WINDOWS);
    const covering = [];
    const reported = listed.map((window, index) => {
        const frame = area(window.frame);
        const shown = Boolean(window.shown);
        const covered = shown && coveredEntirely(frame, covering);
        if (shown && COVERING_TYPES.includes(window.type) && window.pid !== ownPid)
            covering.push(frame);
        return {
            id: String(window.id),
            pid: Number.isInteger(window.pid) && window.pid > 0 ? window.pid : 0,
            caption: reportedText(window.title),
            wmClass: reportedText(window.wmClass),
            stackingOrder: listed.length - index,
            frame,
            client: area(window.buffer ?? window.frame),
            onScreen: shown && !covered,
            desktopElement: window.type === 'desktop' || window.type === 'dock',
            x11: Boolean(window.x11),
        };
    });
    const focused = listed.some(window => window.id === focusId) ? String(focusId) : null;
    return JSON.stringify({windows: reported, active: focused});
}

// Larkspire's badge window: an X11 window that the window manager leaves alone, of Larkspire's own
// process, with the title Larkspire gives it, and the X11 id Larkspire named. Nothing else is moved.
export const OVERLAY_TITLE = 'Larkspire-Schild';
export const MAX_OVERLAYS = 64;

// The X11 id in a window's description ("0x1a00003"), or 0.
export function x11Id(description) {
    const found = /^0x([0-9a-f]{1,8})\b/i.exec(typeof description === 'string' ? description : '');
    return found ? parseInt(found[1], 16) : 0;
}

export function isOverlay(window, larkspirePid, overlay) {
    return overlay > 0 && larkspirePid > 0 && window.pid === larkspirePid && window.overrideRedirect === true &&
        window.title === OVERLAY_TITLE && x11Id(window.description) === overlay;
}

// Larkspire's request to keep `overlay` directly above the Shell's window `windowId` (an id of the
// report), checked: {overlay, windowId}, with an empty id to let it go; null for anything else.
export function overlayRequest(overlay, windowId) {
    if (!Number.isInteger(overlay) || overlay <= 0 || overlay > 0xffffffff || typeof windowId !== 'string')
        return null;
    if (windowId !== '' && !/^[0-9]{1,20}$/.test(windowId))
        return null;
    return {overlay, windowId};
}
