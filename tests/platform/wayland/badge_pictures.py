#!/usr/bin/env python3
"""Finds the badge in grim's pictures of a file manager: the pixels that differ between a picture with the
badge and one without Larkspire. Prints where they lie and fails unless they lie within the file manager's
window and are gone from the picture taken while another window was in front.
badge_pictures.py BARE.ppm BADGE.ppm COVERED.ppm X Y WIDTH HEIGHT"""
import sys


def read(path):
    data = open(path, "rb").read()
    parts = data.split(b"\n", 3)  # P6, size, maximum, pixels
    width, height = map(int, parts[1].split())
    return width, height, parts[3]


bare_path, badge_path, covered_path = sys.argv[1:4]
left, top, right, bottom = (lambda x, y, w, h: (x, y, x + w, y + h))(*map(int, sys.argv[4:8]))
width, height, bare = read(bare_path)
_, _, badge = read(badge_path)
_, _, covered = read(covered_path)

changed = [i for i in range(0, width * height * 3, 3) if bare[i:i + 3] != badge[i:i + 3]]
if len(changed) < 200:
    sys.exit(f"kein Schild im Bild: nur {len(changed)} Pixel anders als ohne Larkspire")
xs = [i // 3 % width for i in changed]
ys = [i // 3 // width for i in changed]
box = (min(xs), min(ys), max(xs) + 1, max(ys) + 1)
print(f"Schild: {len(changed)} Pixel in {box[0]},{box[1]} bis {box[2]},{box[3]}; "
      f"Fenster: {left},{top} bis {right},{bottom}")
if box[0] < left or box[1] < top or box[2] > right or box[3] > bottom:
    sys.exit("das Schild liegt nicht innerhalb des Fensters")
still = sum(covered[i:i + 3] == badge[i:i + 3] for i in changed) / len(changed)
print(f"davon bei verdecktem Fenster noch wie mit Schild: {still:.2f}")
if still > 0.5:
    sys.exit("das Schild bleibt zu sehen, obwohl ein anderes Fenster vorn ist")
