#!/usr/bin/env bash
# Kills a process that keeps writing settings at random moments, and checks after every kill that
# the settings file still parses and holds every write that had finished. Usage: settings_kill.sh BUILD_DIR
set -euo pipefail

tool=$1/tests/settings_writer
kills=${LARKSPIRE_KILLS:-1000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file=$dir/larkspire/settings.json
progress=$dir/progress

failures=0
milliseconds() { local now=${EPOCHREALTIME/[.,]/}; echo $((now / 1000)); }

# How long a writer takes to its first finished write: a sanitizer build needs many times longer,
# and kills that all land before it would prove nothing.
calibration=$dir/calibration
mkdir -p "$calibration"
started=$(milliseconds)
"$tool" write "$calibration/settings.json" "$calibration/progress" 2>>"$dir/writer.log" &
pid=$!
while [ ! -s "$calibration/progress" ] && kill -0 "$pid" 2>/dev/null; do sleep 0.002; done
firstWrite=$(($(milliseconds) - started))
kill -KILL "$pid" 2>/dev/null || true
{ wait "$pid"; } 2>/dev/null || true
window=$((firstWrite + 40))

started=$(milliseconds)
for ((i = 1; i <= kills; i++)); do
    "$tool" write "$file" "$progress" 2>>"$dir/writer.log" &
    pid=$!
    # Anywhere from before the first write to some dozens of writes in.
    delay=$((RANDOM % window))
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -KILL "$pid" 2>/dev/null || true
    { wait "$pid"; } 2>/dev/null || true
    if ! "$tool" check "$file" "$progress"; then
        failures=$((failures + 1))
    fi
done
elapsed=$(($(milliseconds) - started))
seconds=$((elapsed / 1000)).$(printf %03d $((elapsed % 1000)))
finished=$(tail -n 1 "$progress" 2>/dev/null || true)
finished=${finished:-0}
leftovers=$(find "$(dirname "$file")" -name '.settings.json.tmp-*' | wc -l)

echo "kills: $kills, failures: $failures, finished writes: $finished, seconds: $seconds, temporary files left: $leftovers, first write after: ${firstWrite} ms"
if [ -s "$dir/writer.log" ]; then
    echo "the writer logged:"
    head -n 20 "$dir/writer.log"
fi
# Without progress the kills would prove nothing.
[ "$finished" -ge "$kills" ] || { echo "too few finished writes"; exit 1; }
[ "$leftovers" -le 1 ] || { echo "temporary files pile up"; exit 1; }
[ -s "$dir/writer.log" ] && exit 1
[ "$failures" -eq 0 ]
