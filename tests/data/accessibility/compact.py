#!/usr/bin/env python3
# Rewrites a recording with one object per line, children indented, so a diff shows what changed.
# Usage: compact.py IN.json > OUT.json
import json, sys

def write(node, depth, out):
    pad = " " * depth
    fields = {k: v for k, v in node.items() if k != "children"}
    line = json.dumps(fields, ensure_ascii=False, separators=(",", ":"))
    children = node.get("children")
    if not children:
        if children is not None: line = line[:-1] + ',"children":[]}'
        out.append(pad + line)
        return
    out.append(pad + line[:-1] + ',"children":[')
    for i, child in enumerate(children):
        write(child, depth + 1, out)
        if i + 1 < len(children): out[-1] += ","
    out.append(pad + "]}")

recording = json.load(open(sys.argv[1]))
lines = []
head = {k: v for k, v in recording.items() if k != "frames"}
lines.append(json.dumps(head, ensure_ascii=False)[:-1] + ',"frames":[')
for i, frame in enumerate(recording["frames"]):
    write(frame, 1, lines)
    if i + 1 < len(recording["frames"]): lines[-1] += ","
lines.append("]}")
print("\n".join(lines))
