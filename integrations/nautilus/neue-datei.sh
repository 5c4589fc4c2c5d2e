#!/usr/bin/env bash
# Nautilus script "Neue Datei": a new file in the shown folder, or in the selected folder.
# Selections are read as URIs: one per line and percent-encoded, so a newline in a name cannot
# split a path the way the plain path list can.

# Sets `path` to the local path of a file:// URI; fails for any other kind of location.
local_path() {
    local uri=$1
    [[ $uri == file://* ]] || return 1
    path=${uri#file://}
    path=/${path#*/}
    path=${path//\\/\\\\}
    printf -v path '%b' "${path//%/\\x}"
}

args=()
local_path "${NAUTILUS_SCRIPT_CURRENT_URI-}" && args+=(--dir "$path")
first=${NAUTILUS_SCRIPT_SELECTED_URIS-}
local_path "${first%%$'\n'*}" && args+=(--sel "$path")
exec @HELPER@ "${args[@]}"
