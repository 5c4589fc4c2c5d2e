#!/usr/bin/env bash
# Larkspire's three resting figures in one run beside CopyQ and conky, on one private X11 desktop
# (Xvfb, openbox, the accessibility bus, a tray): idle with the default settings and nothing cut,
# then the badge shown over Thunar on a folder of 5,000 files with three of them selected, then both
# desktop widgets. Each phase reports, over the same span for all three programs, the wake-ups (switches
# into any of the process's threads), the processor time and the resident memory at its end.
# Targets: idle at most 3 wake-ups and 1 ms a minute; badge at most 0.3 % of one core; widgets at
# most 2 x conky's processor time and 30 MB resident.
# Usage: bench/beside-copyq-conky.sh BUILD_DIR [SECONDS]   (default 60 s a phase)
set -uo pipefail

build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/tools/desktop_session.sh
source "$here/../tests/tools/desktop_session.sh"
requireTools "the comparison needs copyq, conky (conky-std), thunar, trayer and xdotool" copyq conky thunar \
    trayer xdotool
useScriptSession
startDesktopSession "$work" || { echo "cannot run: $sessionProblem"; exit 1; }

trayer --edge top --align right --widthtype request >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 1
copyq >"$work/copyq.log" 2>&1 &
copyqPid=$!
pids+=($copyqPid)
conky -c "$here/conky-clock-monitor.conf" >"$work/conky.log" 2>&1 &
conkyPid=$!
pids+=($conkyPid)
"$build/larkspire" --install-file-manager-entries >/dev/null 2>&1

larkspire=
startLarkspire() {
    [ -z "$larkspire" ] || { kill "$larkspire"; wait "$larkspire" 2>/dev/null; }
    mkdir -p "$XDG_CONFIG_HOME/larkspire"
    echo "$1" >"$XDG_CONFIG_HOME/larkspire/settings.json"
    "$build/larkspire" >>"$work/larkspire.log" 2>&1 &
    larkspire=$!
    pids+=($larkspire)
    sleep 7  # start-up, first samples drawn
}

# Per thread: its process, its wake-ups and its processor time in scheduler nanoseconds. A wake-up is
# a voluntary switch (the thread slept and was woken); being pushed aside by another program's load
# is not one of Larkspire's wake-ups.
sample() {
    local p task
    for p in "$@"; do
        for task in /proc/"$p"/task/*; do
            local switches ns
            switches=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status" 2>/dev/null) || continue
            ns=$(awk '{ print $1 }' "$task/schedstat" 2>/dev/null) || continue
            echo "$p/${task##*/} ${switches:-0} $ns $(tr ' ' _ <"$task/comm" 2>/dev/null)"
        done
    done
}
resident() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null; }

phase() {
    local title=$1
    local p
    for p in "$larkspire" "$copyqPid" "$conkyPid"; do
        [ -d "/proc/$p" ] || { echo "process $p ended early"; tail -n 20 "$work"/*.log; exit 1; }
    done
    sample "$larkspire" "$copyqPid" "$conkyPid" >"$work/before"
    sleep "$seconds"
    sample "$larkspire" "$copyqPid" "$conkyPid" >"$work/after"
    echo "== $title, over $seconds s"
    echo "program      wake-ups/min   cpu ms   % of a core  resident MB"
    local name
    for name in larkspire copyq conky; do
        case $name in larkspire) p=$larkspire ;; copyq) p=$copyqPid ;; conky) p=$conkyPid ;; esac
        # A thread that ended meanwhile takes its figures along; one that began counts from zero.
        join -a 2 -e 0 -o 0,1.2,1.3,2.2,2.3 <(grep "^$p/" "$work/before" | sort) <(grep "^$p/" "$work/after" | sort) |
            awk -v name="$name" -v s="$seconds" -v mb="$(resident "$p")" '
                { wakes += $4 - $2; ns += $5 - $3 }
                END { ms = ns / 1e6
                      printf "%-12s %12.0f %8.1f %12.3f %12s\n", name, wakes * 60 / s, ms, ms / 10 / s, mb }'
    done
    # Larkspire's threads that woke, to find the cause of a figure over its target.
    join -a 2 -e 0 -o 0,1.2,2.2,2.4 <(grep "^$larkspire/" "$work/before" | sort) \
        <(grep "^$larkspire/" "$work/after" | sort) |
        awk -v s="$seconds" '$3 > $2 { printf "  thread %-16s %6.0f wake-ups/min\n", $4, ($3 - $2) * 60 / s }'
}

startLarkspire '{}'
sleep 35  # the end of start-up: Qt's pool threads, used while drawing the tray icon, leave after 30 s
phase "idle, default settings, nothing cut (target: at most 3 wake-ups and 1 ms a minute)"

folder=$HOME/Dokumente
prepareFolder "$folder" 5000
xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null
thunar "$folder" >"$work/thunar.log" 2>&1 &
pids+=($!)
window=$(awaitWindow "^Dokumente - Thunar")
[ -n "$window" ] || { echo "Thunar does not open a window"; exit 1; }
xdotool windowsize --sync "$window" 900 1000 windowmove --sync "$window" 0 0 windowactivate --sync "$window"
sleep 2
xdotool mousemove 300 300 click 1 keydown shift key Down Down keyup shift
sleep 5
grep -q "Auswahl" "$work/larkspire.log" || echo "(no badge logged yet; see $work/larkspire.log)"
phase "badge over Thunar, 5,000 files, three selected, nothing changing (target: at most 0.3 % of one core)"

xdotool windowclose "$window" 2>/dev/null
startLarkspire '{"systemMonitor": true, "clockWidget": true}'
phase "both widgets (target: at most 2 x conky's processor time and 30 MB resident)"
