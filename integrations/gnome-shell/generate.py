#!/usr/bin/env python3
"""Writes the extension in one of its two forms from the one source in src/.

  generate.py modules|legacy VERSION OUTDIR

modules: GNOME Shell 45 and later, ES modules as written.
legacy:  GNOME Shell 43 and 44, the same code through the legacy `imports` object.
"""
import json
import pathlib
import re
import sys

SHELL_VERSIONS = {"modules": ["45", "46", "47", "48"], "legacy": ["43", "44"]}
HERE = pathlib.Path(__file__).resolve().parent
SOURCES = ["formats.js", "windows.js", "link.js"]


def legacy(text):
    text = re.sub(r"^import (\w+) from 'gi://(\w+)';$", r"const \1 = imports.gi.\2;", text, flags=re.M)
    text = re.sub(r"^import \* as (\w+) from 'resource:///org/gnome/shell/(ui|misc)/(\w+)\.js';$",
                  r"const \1 = imports.\2.\3;", text, flags=re.M)

    def own(match):
        names = ", ".join(name.strip() for name in match.group(1).split(",") if name.strip())
        return f"const {{{names}}} = imports.misc.extensionUtils.getCurrentExtension().imports.{match.group(2)};"

    text = re.sub(r"^import \{([^}]*)\} from '\./(\w+)\.js';$", own, text, flags=re.M)
    text = re.sub(r"^export function ", "function ", text, flags=re.M)
    text = re.sub(r"^export const ", "var ", text, flags=re.M)
    text = re.sub(r"^export class (\w+)", r"var \1 = class \1", text, flags=re.M)
    if re.search(r"^(import|export) ", text, flags=re.M):
        raise SystemExit("generate.py: a module line the legacy form cannot express remains")
    return text


def main():
    form, version, out = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    if form not in SHELL_VERSIONS:
        raise SystemExit(f"generate.py: unknown form {form}")
    out.mkdir(parents=True, exist_ok=True)
    for name in SOURCES:
        text = (HERE / "src" / name).read_text(encoding="utf-8")
        (out / name).write_text(legacy(text) if form == "legacy" else text, encoding="utf-8")
    entry = "extension-legacy.js" if form == "legacy" else "extension.js"
    (out / "extension.js").write_text((HERE / "src" / entry).read_text(encoding="utf-8"), encoding="utf-8")
    metadata = (HERE / "metadata.json.in").read_text(encoding="utf-8")
    metadata = metadata.replace("@VERSION@", version).replace("@SHELL_VERSIONS@", json.dumps(SHELL_VERSIONS[form]))
    json.loads(metadata)  # a broken template fails the build, not the Shell
    (out / "metadata.json").write_text(metadata, encoding="utf-8")


main()
