#!/usr/bin/env bash
# A real share end to end: sshd on 127.0.0.1 and gvfs on a private session bus. A "favorite"
# request adds a folder on the sftp share; the GTK bookmarks file and the stored list must show
# it; after the share is unmounted Larkspire mounts it again by itself; choosing it in the menu
# opens it. Exits 77 (skipped) where sshd or gvfs cannot start. Usage: sftp_favourite.sh BUILD_DIR
set -uo pipefail

program=$1/larkspire
dir=$(mktemp -d)
pids=()
cleanup() {
    [ -n "${mountRoot:-}" ] && fusermount3 -u -z "$dir/run/gvfs" 2>/dev/null
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    [ -f "$dir/sshd.pid" ] && kill "$(cat "$dir/sshd.pid")" 2>/dev/null
    sleep 0.5
    rm -rf "$dir"
}
trap cleanup EXIT
skip() { echo "SKIPPED: $*"; exit 77; }
fail() {
    echo "FAILED: $*"
    echo "--- Larkspire log"; cat "$dir/larkspire.log" 2>/dev/null
    exit 1
}
waitFor() {  # seconds, then a condition
    local limit=$1; shift
    for ((i = 0; i < limit * 10; i++)); do "$@" && return 0; sleep 0.1; done
    return 1
}

for tool in /usr/sbin/sshd ssh-keygen dbus-daemon gio fusermount3 python3 Xvfb; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (make test installs it)"
done
[ -x /usr/libexec/gvfsd ] && [ -x /usr/libexec/gvfsd-fuse ] || skip "gvfs or gvfs-fuse is not installed"
[ -e /dev/fuse ] || skip "no /dev/fuse here"

mkdir -p "$dir/home" "$dir/run" "$dir/bin" "$dir/config/gtk-3.0" "$dir/data" "$dir/server/Projekte/2024"
chmod 700 "$dir/run"
ssh-keygen -q -t ed25519 -N '' -f "$dir/hostkey" && ssh-keygen -q -t ed25519 -N '' -f "$dir/userkey" ||
    skip "ssh-keygen failed"
user=$(id -un)
port=$((20000 + RANDOM % 20000))
cat >"$dir/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $dir/hostkey
AuthorizedKeysFile $dir/userkey.pub
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
PidFile $dir/sshd.pid
Subsystem sftp internal-sftp
EOF
[ "$(id -u)" -eq 0 ] && mkdir -p /run/sshd
/usr/sbin/sshd -f "$dir/sshd_config" -E "$dir/sshd.log" || skip "sshd does not start: $(cat "$dir/sshd.log")"
waitFor 5 test -s "$dir/sshd.pid" || skip "sshd does not start"

# gvfs runs ssh itself; this one uses the test's keys and trusts only the test's server.
echo "[127.0.0.1]:$port $(cat "$dir/hostkey.pub")" >"$dir/known_hosts"
cat >"$dir/bin/ssh" <<EOF
#!/bin/sh
exec /usr/bin/ssh -o IdentityFile=$dir/userkey -o UserKnownHostsFile=$dir/known_hosts -o StrictHostKeyChecking=yes -o BatchMode=yes "\$@"
EOF
# Opening a folder ends in xdg-open; this one writes down what it was given.
cat >"$dir/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$1" >>$dir/opened
EOF
chmod +x "$dir/bin/ssh" "$dir/bin/xdg-open"
export PATH=$dir/bin:$PATH HOME=$dir/home XDG_RUNTIME_DIR=$dir/run XDG_CONFIG_HOME=$dir/config
export XDG_DATA_HOME=$dir/data QT_QPA_PLATFORM=xcb GIO_USE_VOLUME_MONITOR=unix
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || skip "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | head -n 1)
pids+=("$(echo "$bus" | tail -n 1)")

share="sftp://$user@127.0.0.1:$port/"
timeout 30 gio mount "$share" >"$dir/gio.log" 2>&1 || skip "gvfs cannot mount sftp here: $(cat "$dir/gio.log")"
mountRoot=$dir/run/gvfs/sftp:host=127.0.0.1,port=$port,user=$user
waitFor 10 test -d "$mountRoot$dir/server/Projekte/2024" || skip "gvfs-fuse shows no local path"
folder=$mountRoot$dir/server/Projekte/2024

first="file://$dir/home Zuhause"
echo "$first" >"$XDG_CONFIG_HOME/gtk-3.0/bookmarks"
# Opening goes through the desktop services of a real display; the offscreen one has none.
Xvfb -displayfd 3 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
pids+=($!)
waitFor 10 test -s "$dir/display" || skip "Xvfb does not start"
export DISPLAY=:$(cat "$dir/display")
"$program" >"$dir/larkspire.log" 2>&1 &
pids+=($!)
waitFor 20 grep -q "Statussymbol gesetzt" "$dir/larkspire.log" || fail "Larkspire did not start"

encoded=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$folder")
QT_QPA_PLATFORM=offscreen "$program" "quirefold://favorite?path=$encoded" || fail "the request was not delivered"
waitFor 10 grep -q "Favorit: $share/" "$dir/larkspire.log" || fail "no favourite was logged"

bookmarks=$(cat "$XDG_CONFIG_HOME/gtk-3.0/bookmarks")
[ "$(head -n 1 <<<"$bookmarks")" = "$first" ] || fail "the first bookmark changed: $bookmarks"
[ "$(wc -l <<<"$bookmarks")" -eq 2 ] && grep -q "^file://.*Projekte/2024$" <<<"$bookmarks" ||
    fail "the bookmark is missing: $bookmarks"
python3 - "$XDG_CONFIG_HOME/larkspire/settings.json" "$share" "${dir#/}/server/Projekte/2024" <<'EOF' ||
import base64, json, sys
def strings(node):
    if isinstance(node, dict):
        for value in node.values(): yield from strings(value)
    elif isinstance(node, list):
        for value in node: yield from strings(value)
    elif isinstance(node, str): yield node
stored = json.load(open(sys.argv[1]))["networkFavorites"]
for text in strings(stored):
    try: favorites = json.loads(base64.b64decode(text))
    except Exception: continue
    if favorites == [{"shareURL": sys.argv[2], "relativePath": sys.argv[3], "name": "2024"}]: sys.exit(0)
print("stored:", stored); sys.exit(1)
EOF
    fail "the stored favourites are not as expected"

grep -q "Verbinde " "$dir/larkspire.log" && fail "a mounted share was mounted again"
gio mount -u "$share" || fail "the share could not be unmounted"
waitFor 20 grep -q "Verbunden: $share" "$dir/larkspire.log" || fail "the share was not mounted again"
waitFor 10 test -d "$folder" || fail "the folder is not there after the remount"

QT_QPA_PLATFORM=offscreen "$program" --choose-menu-item 2024 || fail "the menu entry could not be chosen"
waitFor 10 grep -q "Projekte/2024" "$dir/opened" 2>/dev/null || fail "the folder was not opened"
echo "sftp favourite: added, bookmarked, stored, remounted after unmount, opened"
