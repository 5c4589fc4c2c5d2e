#!/usr/bin/env bash
# How often each of Larkspire's threads wakes, and how much processor time it takes, over an idle
# minute on a private X11 desktop (Xvfb, openbox, the accessibility bus) with the default settings
# and nothing cut. With "thunar" as second argument a Thunar window stays open on a folder meanwhile.
# A wake-up is a switch into the thread (voluntary and involuntary context switches).
# Usage: bench/idle-wakeups.sh BUILD_DIR [thunar] [SECONDS]   (default 60 s)
set -uo pipefail

build=$1
withThunar=${2:-}
seconds=${3:-60}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/tools/desktop_session.sh
source "$here/../tests/tools/desktop_session.sh"
useScriptSession
startDesktopSession "$work" || { echo "cannot run: $sessionProblem"; exit 1; }

if [ "$withThunar" = thunar ]; then
    prepareFolder "$HOME/Dokumente" 200
    thunar "$HOME/Dokumente" >"$work/thunar.log" 2>&1 &
    pids+=($!)
fi
# A tray to sit in, as on a desktop; without one the settings window stays open instead.
if command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype request >"$work/trayer.log" 2>&1 &
    pids+=($!)
    sleep 1
fi
# The file-manager entries, as after "Aktivieren…": otherwise the settings window greets the user.
"$build/larkspire" --install-file-manager-entries >/dev/null 2>&1
"$build/larkspire" >"$work/larkspire.log" 2>&1 &
larkspire=$!
pids+=($larkspire)
sleep 7  # start-up, and the file manager's window filled
xdotool search --all --pid "$larkspire" --onlyvisible --name . getwindowname %@ 2>/dev/null |
    sed 's/^/open window: /'

sample() {
    local task
    for task in /proc/"$larkspire"/task/*; do
        local name switches ticks
        name=$(cat "$task/comm" 2>/dev/null) || continue
        switches=$(awk '/ctxt_switches/ { n += $2 } END { print n }' "$task/status" 2>/dev/null)
        ticks=$(awk '{ print $14 + $15 }' "$task/stat" 2>/dev/null)
        printf '%s\t%s\t%s\t%s\n' "${task##*/}" "${name// /_}" "$switches" "$ticks"
    done
}
sample >"$work/before"
sleep "$seconds"
sample >"$work/after"
hz=$(getconf CLK_TCK)
echo "thread            wake-ups  cpu ms   (over $seconds s${withThunar:+, Thunar open})"
join -t "$(printf '\t')" "$work/before" "$work/after" | awk -F '\t' -v hz="$hz" '
    { wakes = $6 - $3; ms = ($7 - $4) * 1000 / hz; total += wakes; cpu += ms
      printf "%-8s %-8s %8d %7.0f\n", $1, $2, wakes, ms }
    END { printf "all               %8d %7.0f\n", total, cpu }'
