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
started=$(milliseconds)
for ((i = 1; i <= kills; i++)); do
    "$tool" write "$file" "$progress" 2>>"$dir/writer.log" &
    pid=$!
    # Anywhere from before the first write to some dozens of writes in.
    sleep "$(printf '0.%03d' $((RANDOM % 40)))"
    kill -KILL "$pid" 2>/dev/null || true
    { wait "$pid"; } 2>/dev/null || true
    if ! "$tool" check "$file" "$progress"; then
        failures=$((failures + 1))
    fi
done
elapsed=$(($(milliseconds) - started))
seconds=$((elapsed / 1000)).$(printf %03d $((elapsed % 1000)))
finished=$(tail -n 1 "$progress" 2>/dev/null || echo 0)
leftovers=$(find "$(dirname "$file")" -name '.settings.json.tmp-*' | wc -l)

echo "kills: $kills, failures: $failures, finished writes: $finished, seconds: $seconds, temporary files left: $leftovers"
if [ -s "$dir/writer.log" ]; then
    echo "the writer logged:"
    head -n 20 "$dir/writer.log"
fi
# Without progress the kills would prove nothing.
[ "$finished" -ge "$kills" ] || { echo "too few finished writes"; exit 1; }
[ "$leftovers" -le 1 ] || { echo "temporary files pile up"; exit 1; }
[ -s "$dir/writer.log" ] && exit 1
[ "$failures" -eq 0 ]
