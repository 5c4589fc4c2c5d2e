#!/usr/bin/python3
"""Takes a picture of the headless Shell's screen through its screenshot interface: screenshot.py PNG.
GNOME Shell 43 answers that interface only to a few programs, known by their bus names, so on the
test's private bus this tool takes the name of one of them (GNOME's screenshot program) first."""
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
owned = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                      GLib.Variant("(su)", ("org.gnome.Screenshot", 4)), GLib.VariantType("(u)"),
                      Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
if owned != 1:
    sys.exit(f"der Name org.gnome.Screenshot ist vergeben ({owned})")
success, written = bus.call_sync("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                 "org.gnome.Shell.Screenshot", "Screenshot",
                                 GLib.Variant("(bbs)", (False, False, sys.argv[1])), GLib.VariantType("(bs)"),
                                 Gio.DBusCallFlags.NONE, 10000, None).unpack()
if not success:
    sys.exit("die Shell nahm kein Bild auf")
print(written)
