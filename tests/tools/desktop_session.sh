# Sourced by scripts that run real programs on a private desktop: a private X server (Xvfb on a free
# display), a private session bus, openbox, and a temporary HOME. Every process it starts is
# remembered and ended by stopDesktopSession, and only those.
#   startDesktopSession DIR   all of it plus the accessibility bus, for real file managers; returns
#                             non-zero with a reason in $sessionProblem when a part cannot start
#   useSessionHome DIR        HOME and the XDG folders in DIR
#   startXvfb DIR [SCREEN]    the X server, DISPLAY exported (default screen 1600x1000x24)
#   startSessionBus           a private session bus, DBUS_SESSION_BUS_ADDRESS exported
#   startOpenbox DIR          openbox, its log in DIR
#   awaitWindow PATTERN       the first window so named, once it shows (up to 90 s); nothing if none
#   prepareFolder PATH COUNT  COUNT files "Datei NN.txt" of growing size and two folders
#   stopDesktopSession
#   removeSessionDir DIR      once the session has stopped
#   endOwn PID…               ends those of the processes that are still this shell's children
#   requireTools TEXT TOOL…   exits 77 (skipped) with "TOOL fehlt: TEXT" for the first one missing
#   useScriptSession          $work, a temporary folder that is HOME; the processes in `pids` and the
#                             session end, and the folder goes, when the script exits

sessionPids=()
sessionBusPid=
sessionProblem=

# Process numbers wrap quickly on a busy machine (32768 here): a process that ended long ago may have
# passed its number on to another test's program, which must not be killed in its place.
endOwn() {
    local pid
    for pid in "$@"; do
        if [ "$(awk '/^PPid:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)" = "$$" ]; then
            kill "$pid" 2>/dev/null || true  # it may have ended just now
        fi
    done
    return 0
}

requireTools() {
    local text=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool fehlt: $text"; exit 77; }
    done
}

useScriptSession() {
    work=$(mktemp -d)
    pids=()
    trap 'endOwn "${pids[@]}"; stopDesktopSession; removeSessionDir "$work"' EXIT
    useSessionHome "$work"
}

useSessionHome() {
    local dir=$1
    mkdir -p "$dir/home" "$dir/run" "$dir/config" "$dir/cache" "$dir/data"
    chmod 700 "$dir/run"
    export HOME=$dir/home XDG_RUNTIME_DIR=$dir/run XDG_CONFIG_HOME=$dir/config XDG_CACHE_HOME=$dir/cache
    export XDG_DATA_HOME=$dir/data
}

startXvfb() {
    local dir=$1 screen=${2:-1600x1000x24} i
    Xvfb -displayfd 1 -screen 0 "$screen" -nolisten tcp >"$dir/display" 2>"$dir/xvfb.log" &
    sessionPids+=($!)
    for ((i = 0; i < 50; i++)); do [ -s "$dir/display" ] && break; sleep 0.1; done
    [ -s "$dir/display" ] || { sessionProblem="Xvfb does not start: $(tail -n 3 "$dir/xvfb.log")"; return 1; }
    export DISPLAY=:$(head -n 1 "$dir/display")
}

startSessionBus() {
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || { sessionProblem="no session bus"; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | head -n 1)
    sessionBusPid=$(echo "$bus" | tail -n 1)
}

startOpenbox() {
    local i
    openbox >"$1/openbox.log" 2>&1 &
    sessionPids+=($!)
    # Windows mapped before it manages the screen are never activated; on a busy machine it takes a while.
    for ((i = 0; i < 100; i++)); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        sleep 0.1
    done
    sessionProblem="openbox does not start: $(tail -n 3 "$1/openbox.log")"
    return 1
}

startDesktopSession() {
    local dir=$1
    useSessionHome "$dir"
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    # GTK 4 draws without a GPU, settings stay in memory, and Qt offers its tree without a screen reader.
    export GSETTINGS_BACKEND=memory GSK_RENDERER=cairo QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    unset NO_AT_BRIDGE AT_SPI_BUS_ADDRESS
    for tool in Xvfb openbox dbus-daemon xdotool xprop; do
        command -v "$tool" >/dev/null || { sessionProblem="$tool is not installed"; return 1; }
    done
    startXvfb "$dir" && startSessionBus && startOpenbox "$dir" || return 1
    # The accessibility bus starts on demand; asking for its address starts it now.
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 ||
        { sessionProblem="the accessibility bus (at-spi2-core) does not start"; return 1; }
    dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1
    sessionDir=$dir
    return 0
}

# Prints the first window whose name matches PATTERN, waiting up to 90 s for it (a loaded machine
# takes long to open a long folder); prints nothing when none came.
awaitWindow() {
    local pattern=$1 window i
    for ((i = 0; i < 900; i++)); do
        window=$(xdotool search --name "$pattern" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    echo "$window"
}

prepareFolder() {
    local folder=$1 count=$2 i
    mkdir -p "$folder/Ordner A" "$folder/Ordner B"
    for ((i = 1; i <= count; i++)); do
        head -c $((i * 100)) /dev/zero >"$folder/$(printf 'Datei %02d.txt' "$i")"
    done
}

stopDesktopSession() {
    endOwn "${sessionPids[@]}"
    sessionPids=()
    # The bus forked away from this shell; the accessibility bus and its registry end with it.
    if [ -n "$sessionBusPid" ] && [ "$(cat "/proc/$sessionBusPid/comm" 2>/dev/null)" = dbus-daemon ]; then
        kill "$sessionBusPid" 2>/dev/null || true
    fi
    sessionBusPid=
}

removeSessionDir() {
    local i
    # A file manager's gvfs FUSE mount in the runtime folder goes away shortly after the bus ends.
    for ((i = 0; i < 40; i++)); do
        rm -rf "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    rm -rf "$1"
}
