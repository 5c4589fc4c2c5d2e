// The generated form for GNOME Shell 45 and later: gjs -m modules_form_test.js FOLDER
// Its rules load as ES modules and answer as the source does; the files that need the Shell fail
// here only for want of the Shell's modules, never for their own syntax.
import GLib from 'gi://GLib';
import System from 'system';

const folder = ARGV[0];
let failures = 0;
function check(name, ok) {
    if (!ok) {
        failures++;
        print(`FEHLER ${name}`);
    }
}

const formats = await import(`file://${folder}/formats.js`);
check('file lists recognised', formats.isFileList('x-special/gnome-copied-files', 'cut\nfile:///a'));
check('text refused', !formats.isFileList('text/uri-list', 'Hallo'));

for (const name of ['link.js', 'extension.js']) {
    try {
        await import(`file://${folder}/${name}`);
        check(`${name} loaded without the Shell`, false);
    } catch (e) {
        check(`${name}: ${e}`, !(e instanceof SyntaxError) && /resource:\/\/\/org\/gnome\/shell/.test(String(e)));
    }
}
const [, metadata] = GLib.file_get_contents(`${folder}/metadata.json`);
const parsed = JSON.parse(new TextDecoder().decode(metadata));
check('for GNOME Shell 45 and later', parsed['shell-version'][0] === '45');

if (failures > 0)
    System.exit(1);
print('Modulform bestanden');
