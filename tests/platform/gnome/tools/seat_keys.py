#!/usr/bin/python3
"""Types and clicks on the headless Shell's seat through a remote-desktop session of mutter, as a
user would: seat_keys.py CHORD…, each chord evdev key codes joined by "+" (29+30 is Ctrl+A), pressed
in order and let go in reverse, or click:X,Y for the left button at that point of the screen."""
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
service, flags = "org.gnome.Mutter.RemoteDesktop", Gio.DBusCallFlags.NONE
session = bus.call_sync(service, "/org/gnome/Mutter/RemoteDesktop", service, "CreateSession", None,
                        GLib.VariantType("(o)"), flags, 5000, None).unpack()[0]
interface = "org.gnome.Mutter.RemoteDesktop.Session"
bus.call_sync(service, session, interface, "Start", None, None, flags, 5000, None)
for chord in sys.argv[1:]:
    if chord.startswith("click:"):
        x, y = (float(value) for value in chord[len("click:"):].split(","))
        # Without a screen cast the pointer moves only relatively: into the corner, where the
        # screen's edge stops it, then to the point.
        for dx, dy in ((-100000, -100000), (x, y)):
            bus.call_sync(service, session, interface, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (dx, dy)),
                          None, flags, 5000, None)
        # A press that follows the move at once is lost now and then (a quarter of clicks on
        # Nautilus's sidebar, without any other program); after a pause, as a hand makes, none was.
        time.sleep(0.1)
        for pressed in (True, False):
            bus.call_sync(service, session, interface, "NotifyPointerButton", GLib.Variant("(ib)", (0x110, pressed)),
                          None, flags, 5000, None)
            time.sleep(0.05)
        continue
    codes = [int(code) for code in chord.split("+")]
    for code, pressed in [(code, True) for code in codes] + [(code, False) for code in reversed(codes)]:
        bus.call_sync(service, session, interface, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (code, pressed)),
                      None, flags, 5000, None)
# The device goes with the session; events it still queues would be lost with it.
time.sleep(0.2)
bus.call_sync(service, session, interface, "Stop", None, None, flags, 5000, None)
