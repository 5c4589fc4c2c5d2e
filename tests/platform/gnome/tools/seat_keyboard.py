#!/usr/bin/python3
"""Gives the headless Shell's seat a keyboard, as clients that own the clipboard without data
control (wl-copy, wl-paste) need one: a remote-desktop session of mutter, kept while this runs."""
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
reply = bus.call_sync("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                      "org.gnome.Mutter.RemoteDesktop", "CreateSession", None, GLib.VariantType("(o)"),
                      Gio.DBusCallFlags.NONE, 5000, None)
session = reply.unpack()[0]
bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session", "Start",
              None, None, Gio.DBusCallFlags.NONE, 5000, None)


def press(keycode):
    for state in (True, False):
        bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
                      "NotifyKeyboardKeycode", GLib.Variant("(ub)", (keycode, state)), None,
                      Gio.DBusCallFlags.NONE, 5000, None)


# The Shell starts in the overview, where new windows get no focus: Escape leaves it once the
# start-up animation is over.
time.sleep(float(sys.argv[1]) if len(sys.argv) > 1 else 1.0)
press(1)
print("Tastatur", flush=True)
GLib.MainLoop().run()  # until the test ends it
