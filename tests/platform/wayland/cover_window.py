#!/usr/bin/env python3
"""A plain GTK 3 window titled "Deckel" that another program's window lies under; it ends when closed
or killed. cover_window.py [WIDTH HEIGHT]"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

width, height = (int(sys.argv[1]), int(sys.argv[2])) if len(sys.argv) == 3 else (1100, 800)
window = Gtk.Window(title="Deckel")
window.set_default_size(width, height)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
