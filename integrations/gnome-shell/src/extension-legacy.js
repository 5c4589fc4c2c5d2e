// GNOME Shell 43 and 44: the same extension through the legacy imports.
const {Link} = imports.misc.extensionUtils.getCurrentExtension().imports.link;

class LarkspireExtension {
    constructor(extension) {
        this._metadata = extension.metadata;
    }

    enable() {
        this._link = new Link(this._metadata);
        this._link.start();
    }

    disable() {
        this._link?.stop();
        this._link = null;
    }
}

// GNOME Shell 43 and 44 hand over the extension object, whose metadata holds the version.
function init(extension) {
    return new LarkspireExtension(extension);
}
