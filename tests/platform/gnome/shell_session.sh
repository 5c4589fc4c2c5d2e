# Sourced by the GNOME Shell tests: GNOME Shell 43 headless as an unprivileged account, with a private
# session bus and a private system bus on which logind is mocked, the extension in $extension
# installed and enabled as gsettings does, and a keyboard on the seat. Sets `bin` to a copy of the
# larkspire program the account may run, and ends everything it started when the script exits.
#   as_user CMD…, as_user_in_background CMD…   run as the session's account, in its environment
#   start_shell                                starts (or restarts) the Shell, exits 77 where it cannot;
#                                              without X11 unless `withXwayland` is set, else with
#                                              XWayland's display in `xdisplay` for as_user
#   await FILE TEXT N, fail TEXT, count FILE TEXT, url PATH, extension_state
# Expects `bin` and `extension`.
# shellcheck source=../../tools/desktop_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/desktop_session.sh"
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/tools" && pwd)
requireTools "Test übersprungen (Pakete gnome-shell, python3-dbusmock, wl-clipboard, dbus installieren)" \
  gnome-shell dbus-daemon dbus-monitor gdbus gsettings wl-copy wl-paste setpriv jq
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null || { echo "python3-dbusmock fehlt: Test übersprungen"; exit 77; }

work=$(mktemp -d)
pids=()
buses=()
cleanup() {
  [ -z "${silent:-}" ] || kill -CONT "$silent" 2>/dev/null || true
  endOwn "${pids[@]}"
  local bus
  for bus in "${buses[@]}"; do
    [ "$(cat "/proc/$bus/comm" 2>/dev/null)" = dbus-daemon ] && kill "$bus" 2>/dev/null
  done
  removeSessionDir "$work"
}
trap cleanup EXIT

run_as=()
if [ "$(id -u)" -eq 0 ]; then
  user=larkspire-test
  if ! id "$user" >/dev/null 2>&1 && ! useradd --create-home --shell /usr/sbin/nologin "$user" >/dev/null 2>&1; then
    echo "GNOME Shell läuft hier nicht als root, und das Konto $user ließ sich nicht anlegen: Test übersprungen"
    exit 77
  fi
  run_as=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups --)
fi
mkdir -p "$work"/{home,run,config,data,files,cache}
chmod 700 "$work/run"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work"
chmod 711 "$work"

# The system bus: private, open to this session's account, with logind mocked on it.
cat >"$work/system.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
system=$(dbus-daemon --config-file="$work/system.conf" --fork --print-pid=1) || { echo "kein Systembus: Test übersprungen"; exit 77; }
buses+=("$system")
systemBus=unix:path=$work/system_bus_socket
DBUS_SYSTEM_BUS_ADDRESS=$systemBus /usr/bin/python3 -m dbusmock --system --template logind >"$work/logind.log" 2>&1 &
pids+=($!)

display=
xdisplay=
xauthority=
session_environment() {
  environment=(PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
    XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" LANG=C.UTF-8
    DBUS_SESSION_BUS_ADDRESS="$sessionBus" DBUS_SYSTEM_BUS_ADDRESS="$systemBus")
  [ -z "$display" ] || environment+=(WAYLAND_DISPLAY="$display")
  [ -z "$xdisplay" ] || environment+=(DISPLAY="$xdisplay" XAUTHORITY="$xauthority")
}
as_user() {
  session_environment
  "${run_as[@]}" env -i "${environment[@]}" "$@"
}
as_user_in_background() {
  session_environment
  exec "${run_as[@]}" env -i "${environment[@]}" "$@"
}
sessionBus=
session=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=1) || { echo "kein Sitzungsbus: Test übersprungen"; exit 77; }
sessionBus=$(head -n 1 <<<"$session")
buses+=("$(tail -n 1 <<<"$session")")

# The extension as make install puts it for a user, enabled as gsettings does.
uuid=larkspire@halvik.de
mkdir -p "$work/data/gnome-shell/extensions"
cp -r "$extension" "$work/data/gnome-shell/extensions/$uuid"
cp "$bin" "$work/larkspire"
bin=$work/larkspire
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/data" "$bin"
as_user gsettings set org.gnome.shell enabled-extensions "['$uuid']"

log=$work/larkspire.log
shellLog=$work/shell.log
monitor=$work/monitor.log
touch "$log" "$shellLog" "$monitor"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$shellLog" "$monitor"; do
    echo "--- $(basename "$file")"
    grep -v "^ *\(array\|string\|byte\|)\|]\)" "$file" | tail -n 40
  done
  exit 1
}
count() { grep -c -- "$2" "$1" || true; }
await() {  # file text n
  local waited=0
  until [ "$(count "$1" "$2")" -ge "$3" ]; do
    sleep 0.02
    waited=$((waited + 1))
    [ "$waited" -lt 1500 ] || fail "„$2“ nicht ${3}-mal in $(basename "$1")"
  done
}
url() { python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1]))' "$1"; }
extension_state() {
  as_user gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.gnome.Shell.Extensions.GetExtensionInfo "$uuid" 2>/dev/null | grep -o "'state': <[0-9.]*>" || true
}

shellOptions=(--no-x11)
if [ -n "${withXwayland:-}" ]; then
  shellOptions=()
  # The Shell, not being root, cannot make the X11 sockets' folder that the system makes at boot.
  [ -d /tmp/.X11-unix ] || [ "$(id -u)" -ne 0 ] || install -d -m 1777 /tmp/.X11-unix
fi
# XWayland's display is the one whose lock the Shell holds; its key is in the runtime folder.
find_xwayland() {
  local lock
  for lock in /tmp/.X*-lock; do
    [ "$(tr -d ' ' <"$lock" 2>/dev/null)" = "$shell" ] || continue
    lock=${lock#/tmp/.X}
    xdisplay=:${lock%-lock}
    break
  done
  local keys=("$work"/run/.mutter-Xwaylandauth.*)
  [ ! -e "${keys[0]}" ] || xauthority=${keys[0]}
  [ -n "$xdisplay" ] && [ -n "$xauthority" ] || fail "GNOME Shell ohne XWayland"
}
start_shell() {
  display= xdisplay= xauthority=
  rm -f "$work/run"/wayland-*
  as_user_in_background gnome-shell --headless --wayland "${shellOptions[@]}" --virtual-monitor 1280x800 >>"$shellLog" 2>&1 &
  shell=$!
  pids+=("$shell")
  local i socket=
  for ((i = 0; i < 400; i++)); do
    # The Shell makes and removes files there as it starts, which find may trip over.
    socket=$(find "$work/run" -maxdepth 1 -type s -name 'wayland-?' -printf '%f\n' 2>/dev/null | head -n 1) || true
    [ -n "$socket" ] && [ "$(extension_state)" = "'state': <1.0>" ] && break
    kill -0 "$shell" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$socket" ] || ! kill -0 "$shell" 2>/dev/null; then
    echo "GNOME Shell startet nicht: Test übersprungen"
    tail -n 8 "$shellLog"
    exit 77
  fi
  [ "$(extension_state)" = "'state': <1.0>" ] || fail "Erweiterung nicht eingeschaltet: $(as_user gdbus call --session \
    -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Extensions.GetExtensionInfo "$uuid" | grep -o "'error': <[^>]*>")"
  display=$socket
  [ -z "${withXwayland:-}" ] || find_xwayland
  # Clients that own the clipboard the usual way need a keyboard on the seat.
  : >"$work/keyboard.log"
  as_user_in_background /usr/bin/python3 "$tools/seat_keyboard.py" >"$work/keyboard.log" 2>&1 &
  pids+=($!)
  await "$work/keyboard.log" "Tastatur" 1
}
