// What the extension decides without the Shell: which clipboard contents are file lists, who may
// talk to it, and what the tray shows. Kept free of Shell imports so gjs tests it on its own.

// The file managers' clipboard formats, marked lists first: they say copy or cut by themselves.
export const FILE_LIST_TYPES = [
    'x-special/gnome-copied-files',
    'x-special/mate-copied-files',
    'application/x-kde-cutselection',
    'text/uri-list',
];

// A list larger than this is no cut anyone makes by hand; it is not read further.
export const MAX_FILE_LIST_BYTES = 32 * 1024 * 1024;

// The version of the bus interface both sides speak; a change of it changes the interface names.
export const INTERFACE_VERSION = 1;
export const LARKSPIRE_BUS_NAME = 'de.halvik.Quirefold';
export const LARKSPIRE_PATH = '/de/halvik/Quirefold/Larkspire';
export const LARKSPIRE_INTERFACE = `de.halvik.Quirefold.Larkspire${INTERFACE_VERSION}`;
export const EXTENSION_PATH = '/de/halvik/Quirefold/ShellExtension';
export const EXTENSION_INTERFACE = `de.halvik.Quirefold.ShellExtension${INTERFACE_VERSION}`;

// Of the types an owner offers, those to read: the file-list formats it has, in the order above.
// The KDE cut marker means nothing without the list it marks.
export function fileListTypesOffered(offered) {
    const types = FILE_LIST_TYPES.filter(type => offered.includes(type));
    if (types.includes('application/x-kde-cutselection') && !types.includes('text/uri-list'))
        return types.filter(type => type !== 'application/x-kde-cutselection');
    return types;
}

function hasControlCharacters(line) {
    // eslint-disable-next-line no-control-regex
    return /[\u0000-\u001f\u007f]/.test(line);
}

function isFileUrl(line) {
    return line.startsWith('file://') && !hasControlCharacters(line);
}

function linesOf(text) {
    const lines = text.split('\n').map(line => line.endsWith('\r') ? line.slice(0, -1) : line);
    if (lines.length > 0 && lines[lines.length - 1] === '')
        lines.pop();
    return lines;
}

// True when the text of this format is a list of local files and nothing else, so nothing the user
// copied that is not a file list (a password, a message) ever leaves the Shell.
export function isFileList(type, text) {
    if (typeof text !== 'string' || text.length > MAX_FILE_LIST_BYTES)
        return false;
    switch (type) {
    case 'x-special/gnome-copied-files':
    case 'x-special/mate-copied-files': {
        const lines = linesOf(text);
        return lines.length >= 2 && (lines[0] === 'copy' || lines[0] === 'cut') &&
            lines.slice(1).every(isFileUrl);
    }
    case 'text/uri-list': {
        const lines = linesOf(text).filter(line => !line.startsWith('#'));
        return lines.length >= 1 && lines.every(isFileUrl);
    }
    case 'application/x-kde-cutselection':
        return text === '0' || text === '1' || text === '0\n' || text === '1\n';
    default:
        return false;
    }
}

// Of the formats read, those that may go to Larkspire: file lists only, and the KDE marker only
// beside a list it marks.
export function fileListsToHandOver(read) {
    const lists = {};
    for (const type of FILE_LIST_TYPES) {
        if (type in read && isFileList(type, read[type]))
            lists[type] = read[type];
    }
    if ('application/x-kde-cutselection' in lists && !('text/uri-list' in lists))
        delete lists['application/x-kde-cutselection'];
    return lists;
}

// The program behind the bus name must be Larkspire itself, run by the Shell's user: another
// program claiming the name gets nothing. `executable` is the target of /proc/PID/exe.
export function isLarkspireOwner(credentials, shellUid, executable) {
    if (!credentials || credentials.uid !== shellUid || !Number.isInteger(credentials.pid) || credentials.pid <= 0)
        return false;
    if (typeof executable !== 'string')
        return false;
    const path = executable.endsWith(' (deleted)') ? executable.slice(0, -' (deleted)'.length) : executable;
    const name = path.slice(path.lastIndexOf('/') + 1);
    return name === 'larkspire';
}

// The count beside the tray icon: nothing without cut files, at most three digits.
export function trayCountText(count) {
    if (!Number.isInteger(count) || count <= 0)
        return '';
    return count > 999 ? '999+' : String(count);
}

// A menu title from Larkspire as a label shows it: one line, bounded, without control characters.
export function menuLabel(title) {
    if (typeof title !== 'string')
        return '';
    // eslint-disable-next-line no-control-regex
    const line = title.replace(/[\u0000-\u001f\u007f]+/g, ' ');
    return line.length > 200 ? `${line.slice(0, 199)}…` : line;
}

// The Shell serves what an extension writes in one format only, so the list goes back in the format
// the file manager that offered the last list reads: its own marked list, else the plain URI list.
export function formatToWrite(available, lastOffered) {
    const preferred = FILE_LIST_TYPES.filter(type => type !== 'application/x-kde-cutselection');
    for (const type of preferred) {
        if (lastOffered.includes(type) && available.includes(type))
            return type;
    }
    return preferred.find(type => available.includes(type)) ?? null;
}
