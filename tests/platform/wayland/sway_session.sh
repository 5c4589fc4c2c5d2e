# Sourced by the scripts that run programs in a headless sway: a temporary folder as the session's
# home, the account that runs it (sway refuses root; as root everything runs as larkspire-test), and
# the session's clean environment. The script keeps the pids it starts in `pids`.
#   swaySession                     $work, the account, $run_as; exits 77 where the account is missing
#   startSway CONFIG_TEXT           sway with that configuration; $sway, $display; exits 77 where it
#                                   cannot start
#   as_user PROGRAM…                runs in the session's environment
#   as_user_in_background PROGRAM… &   the same as a background job, so that $! is the program
#   startSwaySessionBus             a private session bus for the account; $bus, $busPid
#   reachable VARIABLE              copies the program named there where the account can run it
# shellcheck source=../../tools/desktop_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/desktop_session.sh"

display=
bus=
swaysock=
busPid=

swaySession() {
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

# Everything of the session runs with a clean environment: the machine's own display, bus and
# clipboard stay out of it.
session_environment() {
  environment=(PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
    XDG_CACHE_HOME="$work/home/.cache" LANG=C.UTF-8)
  [ -z "$display" ] || environment+=(WAYLAND_DISPLAY="$display")
  [ -z "$swaysock" ] || environment+=(SWAYSOCK="$swaysock")
  [ -z "$bus" ] || environment+=(DBUS_SESSION_BUS_ADDRESS="$bus")
}
# Command pipes the script keeps on descriptors 3 and 4 stay with it, or a reader would never see
# their end while a program started later still held them.
as_user() {
  session_environment
  "${run_as[@]}" env -i "${environment[@]}" "$@" 3>&- 4>&-
}
as_user_in_background() {
  session_environment
  exec "${run_as[@]}" env -i "${environment[@]}" "$@" 3>&- 4>&-
}

reachable() {
  local program=$1
  if ! as_user test -x "${!program}"; then
    cp "${!program}" "$work/$(basename "${!program}")"
    [ ${#run_as[@]} -eq 0 ] || chown "$user" "$work/$(basename "${!program}")"
    printf -v "$program" '%s' "$work/$(basename "${!program}")"
  fi
}

startSway() {
  local i socket=
  printf '%s\n' "$1" >"$work/sway.config"
  chmod 644 "$work/sway.config"
  touch "$work/sway.log"
  as_user_in_background WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
  sway=$!
  pids+=("$sway")
  for ((i = 0; i < 200; i++)); do
    socket=$(find "$work/run" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' 2>/dev/null | head -n 1)
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
  swaysock=$(find "$work/run" -maxdepth 1 -type s -name 'sway-ipc.*.sock' 2>/dev/null | head -n 1)
}

startSwaySessionBus() {
  local session
  session=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
  bus=$(head -n 1 <<<"$session")
  busPid=$(tail -n 1 <<<"$session")
}

stopSwaySessionBus() {
  [ -n "$busPid" ] && [ "$(cat "/proc/$busPid/comm" 2>/dev/null)" = dbus-daemon ] && kill "$busPid" 2>/dev/null
  return 0
}
