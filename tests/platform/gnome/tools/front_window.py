#!/usr/bin/python3
"""A plain magenta window on X11 without decoration, titled "Vorn", at a place of the screen that the
window manager keeps, so a picture tells exactly which pixels it covers: front_window.py X Y WIDTH HEIGHT.
It ends when closed or killed."""
import os
import sys

import gi

# On XWayland, where a program may place its window itself.
os.environ["GDK_BACKEND"] = "x11"

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

x, y, width, height = (int(value) for value in sys.argv[1:5])
style = Gtk.CssProvider()
style.load_from_data(b"window { background-color: #ff00ff; }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), style, Gtk.STYLE_PROVIDER_PRIORITY_USER)
window = Gtk.Window(title="Vorn")
window.set_decorated(False)
window.set_default_size(width, height)
window.move(x, y)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
