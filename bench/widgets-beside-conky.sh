#!/usr/bin/env bash
# Both desktop widgets (clock and system monitor) on a private X11 desktop (Xvfb, openbox, a tray),
# beside conky showing a clock, CPU bars and memory, in one run: the processor time of each over the
# same minute and their resident memory at its end.
# Usage: bench/widgets-beside-conky.sh BUILD_DIR [SECONDS]   (default 60 s)
set -uo pipefail

build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/tools/desktop_session.sh
source "$here/../tests/tools/desktop_session.sh"
requireTools "the comparison needs conky (Debian package conky-std)" conky
useScriptSession
startDesktopSession "$work" || { echo "cannot run: $sessionProblem"; exit 1; }

if command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype request >"$work/trayer.log" 2>&1 &
    pids+=($!)
    sleep 1
fi

conky -c "$here/conky-clock-monitor.conf" >"$work/conky.log" 2>&1 &
conkyPid=$!
pids+=($conkyPid)

# Both widgets on, and the file-manager entries in place so that no settings window greets the user.
mkdir -p "$XDG_CONFIG_HOME/larkspire"
echo '{"systemMonitor": true, "clockWidget": true}' >"$XDG_CONFIG_HOME/larkspire/settings.json"
"$build/larkspire" --install-file-manager-entries >/dev/null 2>&1
"$build/larkspire" >"$work/larkspire.log" 2>&1 &
larkspire=$!
pids+=($larkspire)
sleep 7  # start-up, the first samples drawn

# Nanoseconds on a processor, summed over the process's threads (the kernel's scheduler figures).
ticks() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%d", n }'; }
resident() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
for p in "$larkspire" "$conkyPid"; do
    [ -d "/proc/$p" ] || { echo "$( [ "$p" = "$larkspire" ] && echo larkspire || echo conky) ended early"; exit 1; }
done
larkspireBefore=$(ticks "$larkspire") conkyBefore=$(ticks "$conkyPid")
sleep "$seconds"
larkspireAfter=$(ticks "$larkspire") conkyAfter=$(ticks "$conkyPid")
awk -v hz=1000000000 -v s="$seconds" -v la="$larkspireBefore" -v lb="$larkspireAfter" -v ca="$conkyBefore" \
    -v cb="$conkyAfter" -v lr="$(resident "$larkspire")" -v cr="$(resident "$conkyPid")" 'BEGIN {
    l = (lb - la) / hz; c = (cb - ca) / hz
    printf "over %d s          cpu s   %% of a core  resident MB\n", s
    printf "larkspire        %6.2f   %8.3f     %6.1f\n", l, l / s * 100, lr
    printf "conky            %6.2f   %8.3f     %6.1f\n", c, c / s * 100, cr
    if (c > 0) printf "larkspire / conky: %.1f x the processor time (target at most 2 x, 30 MB)\n", l / c
}'
