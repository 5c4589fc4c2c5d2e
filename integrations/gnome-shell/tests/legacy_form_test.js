// The generated form for GNOME Shell 43 and 44: gjs legacy_form_test.js FOLDER
// Its rules load through the legacy imports and answer as the module does; every file parses.
const GLib = imports.gi.GLib;
const System = imports.system;

const folder = ARGV[0];
let failures = 0;
function check(name, ok) {
    if (!ok) {
        failures++;
        print(`FEHLER ${name}`);
    }
}

imports.searchPath.unshift(folder);
const formats = imports.formats;
check('file lists recognised', formats.isFileList('x-special/gnome-copied-files', 'cut\nfile:///a'));
check('text refused', !formats.isFileList('text/uri-list', 'Hallo'));
check('constants exported', formats.LARKSPIRE_INTERFACE === 'de.halvik.Quirefold.Larkspire1');
check('window reports built', JSON.parse(imports.windows.windowReport([], null, 0)).windows.length === 0);

// link.js and extension.js need the Shell to run; here they must at least parse as scripts.
for (const name of ['link.js', 'extension.js']) {
    const [, bytes] = GLib.file_get_contents(`${folder}/${name}`);
    const text = new TextDecoder().decode(bytes);
    check(`${name} has no module lines`, !/^(import|export) /m.test(text));
    try {
        // eslint-disable-next-line no-new-func
        new Function(text);
    } catch (e) {
        check(`${name} parses: ${e.message}`, false);
    }
}
const [, metadata] = GLib.file_get_contents(`${folder}/metadata.json`);
const parsed = JSON.parse(new TextDecoder().decode(metadata));
check('for GNOME Shell 43 and 44', JSON.stringify(parsed['shell-version']) === '["43","44"]');
check('uuid', parsed.uuid === 'larkspire@halvik.de');

if (failures > 0)
    System.exit(1);
print('Altform bestanden');
