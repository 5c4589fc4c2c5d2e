// The extension's rules without a Shell: gjs -m formats_test.js
import System from 'system';

import {
    fileListTypesOffered, formatToWrite, fileListsToHandOver, isFileList, isLarkspireOwner, menuLabel, trayCountText,
    MAX_FILE_LIST_BYTES,
} from '../src/formats.js';

let failures = 0;
function check(name, actual, expected) {
    const same = JSON.stringify(actual) === JSON.stringify(expected);
    if (!same) {
        failures++;
        print(`FEHLER ${name}: ${JSON.stringify(actual)} statt ${JSON.stringify(expected)}`);
    }
}

const gnome = 'x-special/gnome-copied-files';
const mate = 'x-special/mate-copied-files';
const kde = 'application/x-kde-cutselection';
const uris = 'text/uri-list';

// Which offered types are read, in which order.
check('marked lists first', fileListTypesOffered([uris, 'text/plain', gnome, kde]), [gnome, kde, uris]);
check('the KDE marker alone is nothing', fileListTypesOffered([kde, 'text/plain']), []);
check('text is never read', fileListTypesOffered(['text/plain', 'UTF8_STRING', 'image/png']), []);

// What counts as a file list.
const cases = [
    [gnome, 'cut\nfile:///home/a/B%C3%A4r.txt\nfile:///home/a/b', true],
    [gnome, 'copy\nfile:///a\n', true],
    [mate, 'cut\r\nfile:///a\r\n', true],
    [gnome, 'cut\n', false],                               // a marker without files
    [gnome, 'move\nfile:///a', false],                     // an unknown marker
    [gnome, 'cut\nfile:///a\nmein Passwort', false],        // a line that is no file
    [gnome, 'cut\nhttps://example.org/x', false],          // not local
    [gnome, 'cut\nfile:///a\u0007b', false],               // control characters
    [uris, '# comment\nfile:///a\nfile:///b\n', true],
    [uris, 'file:///a\nsmb://server/share', false],
    [uris, '', false],
    [kde, '1', true],
    [kde, '0\n', true],
    ['text/plain', 'file:///a', false],
    [gnome, null, false],
];
for (const [type, text, expected] of cases)
    check(`isFileList ${type} ${JSON.stringify(text)}`, isFileList(type, text), expected);
check('too large', isFileList(uris, `file:///${'x'.repeat(MAX_FILE_LIST_BYTES)}`), false);

// Only file lists leave the Shell; the KDE marker only beside its list.
check('secrets stay', fileListsToHandOver({[gnome]: 'geheim', 'text/plain': 'geheim', [uris]: 'file:///a'}),
    {[uris]: 'file:///a'});
check('marker without list dropped', fileListsToHandOver({[kde]: '1', [uris]: 'https://x'}), {});
check('marker with list kept', fileListsToHandOver({[kde]: '1', [uris]: 'file:///a'}), {[kde]: '1', [uris]: 'file:///a'});

// The one format written back: what the last file manager offered, else its own marked list first.
check('as Nautilus offered', formatToWrite([gnome, mate, kde, uris], [gnome, uris]), gnome);
check('as Dolphin offered', formatToWrite([gnome, mate, kde, uris], [kde, uris]), uris);
check('as Caja offered', formatToWrite([gnome, mate, kde, uris], [mate]), mate);
check('nothing offered yet', formatToWrite([gnome, uris], []), gnome);
check('nothing to write', formatToWrite([kde], [kde]), null);

// Who may own Larkspire's bus name.
const me = 1000;
check('Larkspire itself', isLarkspireOwner({uid: me, pid: 42}, me, '/usr/bin/larkspire'), true);
check('rebuilt while running', isLarkspireOwner({uid: me, pid: 42}, me, '/home/a/build/larkspire (deleted)'), true);
check('another program', isLarkspireOwner({uid: me, pid: 42}, me, '/usr/bin/python3.11'), false);
check('a name that only starts alike', isLarkspireOwner({uid: me, pid: 42}, me, '/tmp/larkspire-spy'), false);
check('another user', isLarkspireOwner({uid: 0, pid: 42}, me, '/usr/bin/larkspire'), false);
check('no process', isLarkspireOwner({uid: me}, me, '/usr/bin/larkspire'), false);
check('no credentials', isLarkspireOwner(null, me, '/usr/bin/larkspire'), false);

// The tray's count and menu labels.
check('no count', trayCountText(0), '');
check('count', trayCountText(12), '12');
check('large count', trayCountText(100000), '999+');
check('hostile count', trayCountText(-3), '');
check('label on one line', menuLabel('a\nb\u0000c'), 'a b c');
check('long label bounded', menuLabel('x'.repeat(1000)).length, 200);
check('no label', menuLabel(undefined), '');

if (failures > 0) {
    print(`${failures} Prüfung(en) fehlgeschlagen`);
    System.exit(1);
}
print('alle Prüfungen bestanden');
