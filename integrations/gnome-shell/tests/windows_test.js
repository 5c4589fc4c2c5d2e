// The window report without a Shell: gjs -m windows_test.js
import System from 'system';

import {
    MAX_REPORTED_WINDOWS, MAX_TITLE_LENGTH, OVERLAY_TITLE, isOverlay, overlayRequest, windowReport,
} from '../src/windows.js';

let failures = 0;
function check(name, actual, expected) {
    if (JSON.stringify(actual) !== JSON.stringify(expected)) {
        failures++;
        print(`FEHLER ${name}: ${JSON.stringify(actual)} statt ${JSON.stringify(expected)}`);
    }
}

const own = 4000;
function window(id, fields) {
    return {id, pid: 100 + id, title: `Fenster ${id}`, wmClass: 'org.gnome.Nautilus', type: 'normal',
        frame: {x: 0, y: 0, width: 400, height: 300}, shown: true, x11: false, ...fields};
}
function report(windows, focus = null) {
    return JSON.parse(windowReport(windows, focus, own));
}
function onScreen(windows) {
    return report(windows).windows.map(listed => listed.onScreen);
}

// The order, the focus and the areas as Larkspire's parser reads them: counted from the bottom.
const files = window(7, {frame: {x: 100, y: 50, width: 800, height: 600},
    buffer: {x: 74, y: 24, width: 852, height: 652}});
const full = report([window(3, {frame: {x: 1000, y: 0, width: 200, height: 100}, x11: true}), files], 7);
check('front to back, counted from the bottom', full.windows.map(w => [w.id, w.stackingOrder]), [['3', 2], ['7', 1]]);
check('the focused window', full.active, '7');
check('frame and buffer', [full.windows[1].frame, full.windows[1].client],
    [{x: 100, y: 50, width: 800, height: 600}, {x: 74, y: 24, width: 852, height: 652}]);
check('X11 or Wayland', full.windows.map(w => w.x11), [true, false]);
check('a focus that is not listed is none', report([files], 99).active, null);

// The badge lies directly above its window, so only windows in front that hide all of it together
// take the window off screen; one that covers a part covers that part of the badge as well.
const behind = window(1, {frame: {x: 100, y: 100, width: 600, height: 400}});
const at = (id, x, y, width, height, fields) => window(id, {frame: {x, y, width, height}, ...fields});
check('partly covered', onScreen([at(2, 650, 450, 100, 100), behind]), [true, true]);
check('covered entirely by one window', onScreen([at(2, 50, 50, 800, 500), behind]), [true, false]);
check('covered by two together', onScreen([at(2, 100, 100, 300, 400), at(3, 400, 100, 300, 400), behind]),
    [true, true, false]);
check('two leaving one line between them', onScreen([at(2, 100, 100, 300, 400), at(3, 401, 100, 300, 400), behind]),
    [true, true, true]);
check('covered by four around a hole', onScreen([at(2, 100, 100, 600, 100), at(3, 100, 400, 600, 100),
    at(4, 100, 200, 250, 200), at(5, 350, 200, 349, 200), behind]), [true, true, true, true, true]);
check('the same four without the hole', onScreen([at(2, 100, 100, 600, 100), at(3, 100, 400, 600, 100),
    at(4, 100, 200, 250, 200), at(5, 350, 200, 350, 200), behind]), [true, true, true, true, false]);
check('what hides nothing', onScreen([at(2, 0, 0, 2000, 2000, {pid: own}), at(3, 0, 0, 2000, 2000, {type: 'popup-menu'}),
    at(4, 0, 0, 2000, 2000, {shown: false}), behind]), [true, true, false, true]);
const mosaic = Array.from({length: 200}, (_, i) => at(i + 2, 100 + (i % 20) * 30, 100 + Math.floor(i / 20) * 40, 29, 39));
check('a mosaic with gaps between its pieces', onScreen([...mosaic, behind]).at(-1), true);

// The badge window the extension moves: Larkspire's own, left alone by the window manager, with its
// title and the X11 id Larkspire named; and what Larkspire may ask for.
const badge = {pid: own, overrideRedirect: true, title: OVERLAY_TITLE, description: '0x400019'};
check('the badge window', isOverlay(badge, own, 0x400019), true);
check('not the badge window', [
    isOverlay(badge, own, 0x40001a), isOverlay({...badge, pid: own + 1}, own, 0x400019),
    isOverlay({...badge, overrideRedirect: false}, own, 0x400019), isOverlay({...badge, title: 'Larkspire'}, own, 0x400019),
    isOverlay({...badge, description: 'W12'}, own, 0x400019), isOverlay(badge, 0, 0x400019),
    isOverlay({...badge, description: '0x400019 (0x4000190)'}, own, 0x4000190)], Array(7).fill(false));
check('requests', [overlayRequest(0x400019, '3509778038'), overlayRequest(0x400019, '')],
    [{overlay: 0x400019, windowId: '3509778038'}, {overlay: 0x400019, windowId: ''}]);
check('requests ignored', [overlayRequest(0, '1'), overlayRequest(2 ** 32, '1'), overlayRequest(1.5, '1'),
    overlayRequest(1, '1; rm'), overlayRequest(1, '9'.repeat(21)), overlayRequest(1, null)], Array(6).fill(null));
check('the desktop and docks', report([window(2, {type: 'dock'}), window(3, {type: 'desktop'})]).windows
    .map(w => w.desktopElement), [true, true]);

// Hostile titles: whatever a program names its window, the report stays one readable JSON text of
// well-formed Unicode, so Larkspire's parser never throws it away.
const hostile = [
    '"}], "windows": [{"id": "x"}], "a": "',
    'Zeile\nzwei\r\u0000\u001b[31m',
    '\\u0000 \\ud800 \\"',
    'allein \ud800 hoch, allein \udc00 tief, Paar \ud83d\ude00',
    'x'.repeat(100000),
    `${'y'.repeat(MAX_TITLE_LENGTH - 1)}\ud83d\ude00`,
    42,
    null,
];
const text = windowReport(hostile.map((title, i) => window(i + 1, {title, wmClass: title})), null, own);
const read = JSON.parse(text);
check('one window per title, in order', read.windows.map(w => w.id), hostile.map((title, i) => String(i + 1)));
check('the injection stays a title', read.windows[0].caption, hostile[0]);
check('no line breaks or control characters', /[\u0000-\u001f]/.test(read.windows[1].caption), false);
check('escapes in a title stay text', read.windows[2].caption, hostile[2]);
check('lone surrogates replaced, pairs kept', read.windows[3].caption, 'allein \ufffd hoch, allein \ufffd tief, Paar \ud83d\ude00');
check('long titles bounded', read.windows.every(w => w.caption.length <= MAX_TITLE_LENGTH && w.wmClass.length <= MAX_TITLE_LENGTH), true);
check('a pair cut at the bound leaves no half', read.windows[5].caption.endsWith('y\ufffd'), true);
check('no title is empty', [read.windows[6].caption, read.windows[7].caption], ['', '']);
check('the report survives UTF-8', new TextDecoder().decode(new TextEncoder().encode(text)), text);

// Bounds: the frontmost windows are kept; unsound numbers become harmless ones.
const many = Array.from({length: 1000}, (_, i) => window(i + 1));
const kept = report(many).windows;
check('at most so many windows', kept.length, MAX_REPORTED_WINDOWS);
check('the frontmost kept', [kept[0].id, kept[kept.length - 1].id], ['1', String(MAX_REPORTED_WINDOWS)]);
const odd = report([window(1, {pid: -5, frame: {x: NaN, y: Infinity, width: -10, height: 20.6}})]).windows[0];
check('unsound numbers', [odd.pid, odd.frame], [0, {x: 0, y: 0, width: 0, height: 21}]);

if (failures > 0)
    System.exit(1);
print('Fensterbericht bestanden');
