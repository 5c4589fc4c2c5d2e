#!/usr/bin/env bash
# Prints Larkspire's cut list each time it changes: the signal carries nothing, the list is read
# from the settings file. Needs dbus-monitor (package dbus) and jq.
set -euo pipefail
settings=${XDG_CONFIG_HOME:-$HOME/.config}/larkspire/settings.json

dbus-monitor --session "type='signal',path='/de/halvik/Quirefold',interface='de.halvik.Quirefold',member='cutChanged'" |
    while IFS= read -r line; do
        [[ $line == *member=cutChanged* ]] || continue
        echo "--- cut list changed:"
        jq -r '.cutPaths // [] | .[]' "$settings" 2>/dev/null || echo "(settings not readable)"
    done
