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

// `windows` front to back, each {id, pid, title, wmClass, type, frame, buffer, shown, x11}; `shown`
// means mapped, not minimised and on the current workspace. A window partly hidden by one in front
// of it counts as not on screen, so Larkspire draws nothing over the window in front; Larkspire's own
// windows (`ownPid`) hide nothing, since its badge lies above the file manager on purpose.
export function windowReport(windows, focusId, ownPid) {
    const listed = windows.slice(0, MAX_REPORTED_WINDOWS);
    const covering = [];
    const reported = listed.map((window, index) => {
        const frame = area(window.frame);
        const shown = Boolean(window.shown);
        const covered = shown && covering.some(front => overlaps(front, frame));
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
