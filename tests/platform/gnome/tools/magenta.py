#!/usr/bin/python3
"""The share of pixels in a rectangle of a picture that are front_window.py's magenta, nothing drawn
over it: magenta.py PNG X Y WIDTH HEIGHT."""
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

picture = GdkPixbuf.Pixbuf.new_from_file(sys.argv[1])
x, y, width, height = (int(value) for value in sys.argv[2:6])
pixels, stride, channels = picture.get_pixels(), picture.get_rowstride(), picture.get_n_channels()
magenta = 0
for row in range(y, y + height):
    for column in range(x, x + width):
        at = row * stride + column * channels
        magenta += pixels[at:at + 3] == b"\xff\x00\xff"
print(f"{magenta / (width * height):.3f}")
