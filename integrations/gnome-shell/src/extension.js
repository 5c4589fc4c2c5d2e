// GNOME Shell 45 and later: the extension as an ES module.
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {Link} from './link.js';

export default class LarkspireExtension extends Extension {
    enable() {
        this._link = new Link(this.metadata);
        this._link.start();
    }

    disable() {
        this._link?.stop();
        this._link = null;
    }
}
