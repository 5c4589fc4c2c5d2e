# Sourced by the tests that run programs under a headless sway. sway refuses to run as root; as root,
# sway and every client run as the account larkspire-test. Everything of the session runs with a
# clean environment: the machine's own display, bus and clipboard stay out of it.
#   prepareSwaySession        $work (a private folder with home, run, config, files), $run_as, `pids`
#   reachable VAR…            copies the programs named by the variables where that account can run them
#   startSway [CONFIG_LINE…]  sway on $work/run, $display set; exits 77 when it does not start
#   as_user PROGRAM…          runs a program in the session
#   as_user_in_background     for `as_user_in_background PROGRAM… &`: $! is the program itself
#   startSessionBusAsUser     a private session bus, $bus and $busPid set
# The caller ends what is in `pids` and the bus, and removes $work (removeSessionDir), on exit.

# shellcheck source=../../tools/desktop_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/desktop_session.sh"

display=
bus=
busPid=
swaySocket=

prepareSwaySession() {
  work=$(mktemp -d)
  pids=()
  run_as=()
  if [ "$(id -u)" -eq 0 ]; then
    user=larkspire-test
    if ! id "$user" >/dev/null 2>&1 && ! useradd --create-home --shell /usr/sbin/nologin "$user" >/dev/null 2>&1; then
      echo "sway läuft nicht als root, und das Konto $user ließ sich nicht anlegen: Test übersprungen"
      exit 77
    fi
    run_as=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups --)
  fi
  mkdir -p "$work"/{home,run,config,files} "$work/home/.cache"
  chmod 700 "$work/run"
  [ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work"
  chmod 700 "$work"
}

session_environment() {
  environment=(PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
    XDG_CACHE_HOME="$work/home/.cache" LANG=C.UTF-8)
  [ -z "$display" ] || environment+=(WAYLAND_DISPLAY="$display")
  [ -z "$swaySocket" ] || environment+=(SWAYSOCK="$swaySocket")
  [ -z "$bus" ] || environment+=(DBUS_SESSION_BUS_ADDRESS="$bus")
}
# Command pipes the script holds open (descriptors 3 and 4) stay with it, or a reader would never
# see their end while a program started later still held them.
as_user() {
  session_environment
  "${run_as[@]}" env -i "${environment[@]}" "$@" 3>&- 4>&-
}
as_user_in_background() {
  session_environment
  exec "${run_as[@]}" env -i "${environment[@]}" "$@" 3>&- 4>&-
}

reachable() {
  local program
  for program in "$@"; do
    if ! as_user test -x "${!program}"; then
      cp "${!program}" "$work/$(basename "${!program}")"
      [ ${#run_as[@]} -eq 0 ] || chown "$user" "$work/$(basename "${!program}")"
      printf -v "$program" '%s' "$work/$(basename "${!program}")"
    fi
  done
}

startSway() {
  local line socket= i
  echo "sway ohne Bildschirm starten"
  printf 'xwayland disable\n' >"$work/sway.config"
  for line in "$@"; do printf '%s\n' "$line" >>"$work/sway.config"; done
  chmod 644 "$work/sway.config"
  touch "$work/sway.log"
  as_user_in_background WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
  sway=$!
  pids+=("$sway")
  for ((i = 0; i < 200; i++)); do
    # find fails on a file that goes while it looks, as a sway that just ended leaves them.
    socket=$(find "$work/run" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' 2>/dev/null | head -n 1 || true)
    [ -n "$socket" ] && break
    kill -0 "$sway" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$socket" ]; then
    echo "sway startet nicht: Test übersprungen"
    tail -n 5 "$work/sway.log"
    exit 77
  fi
  display=$socket
  swaySocket=$(find "$work/run" -maxdepth 1 -type s -name 'sway-ipc.*' 2>/dev/null | head -n 1 || true)
}

startSessionBusAsUser() {
  local session
  session=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
  bus=$(head -n 1 <<<"$session")
  busPid=$(tail -n 1 <<<"$session")
}

endSessionBus() {
  [ -n "$busPid" ] && [ "$(cat "/proc/$busPid/comm" 2>/dev/null)" = dbus-daemon ] && kill "$busPid" 2>/dev/null
  return 0
}

# Waiting as the session's tests do; `fail` is the test's own. `has FILE TEXT [N]` holds once FILE has
# N lines with TEXT.
count() { grep -c -- "$2" "$1" || true; }
has() { [ "$(count "$1" "$2")" -ge "${3:-1}" ]; }
within() {  # description command…: waits up to 20 s until the command succeeds
  local what=$1 waited=0
  shift
  until "$@"; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "$what"
  done
}

# The tests' virtual hand ($desk) over the whole output ($width × $height): it takes commands on
# descriptor 3 and answers "ok" in $desktop once the compositor has each.
startHand() {
  mkfifo "$work/hand"
  as_user_in_background "$desk" "$width" "$height" <"$work/hand" >"$desktop" 2>&1 &
  pids+=($!)
  exec 3>"$work/hand"
  within "kein Schreibtisch" has "$desktop" "^bereit"
}
hand() {  # command…
  local before
  before=$(count "$desktop" "^ok")
  echo "$*" >&3
  within "„$*“ nicht ausgeführt" has "$desktop" "^ok" $((before + 1))
}
