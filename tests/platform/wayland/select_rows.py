#!/usr/bin/env python3
"""Selects rows of a program's file list through the accessibility bus, as a keyboard would.

select_rows.py APPLICATION FIRST COUNT: selects COUNT rows from row FIRST (0-based) of the table
with the most columns (the file list, not the one-column sidebar) of the application named
APPLICATION on the bus, and nothing else. GTK 3 programs under a headless sway take no keys from a
virtual keyboard, so the test selects this way."""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def tables(node, depth=0):
    if node is None or depth > 40:
        return
    # Qt 5 shows a file list as a list or a tree with columns.
    if node.get_role() in (Atspi.Role.TREE_TABLE, Atspi.Role.TABLE, Atspi.Role.LIST, Atspi.Role.TREE):
        yield node
        return
    for i in range(node.get_child_count()):
        yield from tables(node.get_child_at_index(i), depth + 1)


def main():
    name, first, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(i)
        if application is None or application.get_name().lower() != name.lower():
            continue
        found = [table for table in tables(application) if table.get_n_columns() > 0]
        if found:
            view = max(found, key=lambda table: table.get_n_columns())
            for row in range(view.get_n_rows()):
                if view.is_row_selected(row) and not first <= row < first + count:
                    view.remove_row_selection(row)
            for row in range(first, first + count):
                view.add_row_selection(row)
            return 0
    print(f"keine Tabelle von {name} auf dem Bus", file=sys.stderr)
    return 1


sys.exit(main())
