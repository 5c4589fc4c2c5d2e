#!/usr/bin/env bash
# Two processes write different keys of one settings file at the same time, each key once; every key
# of both must be in the file at the end. Usage: settings_two_writers.sh BUILD_DIR
set -euo pipefail

tool=$1/tests/settings_writer
writes=${LARKSPIRE_WRITES:-1000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file=$dir/larkspire/settings.json

started=${EPOCHREALTIME/[.,]/}
"$tool" keys "$file" a "$writes" 2>>"$dir/writer.log" &
first=$!
"$tool" keys "$file" b "$writes" 2>>"$dir/writer.log" &
second=$!
wait "$first"
wait "$second"
elapsed=$(((${EPOCHREALTIME/[.,]/} - started) / 1000))

held_a=$("$tool" count "$file" a "$writes" || true)
held_b=$("$tool" count "$file" b "$writes" || true)
leftovers=$(find "$dir/larkspire" -name '.settings.json.tmp-*' | wc -l)
echo "writes: 2 × $writes, keys kept: a $held_a, b $held_b, milliseconds: $elapsed, temporary files left: $leftovers"
if [ -s "$dir/writer.log" ]; then
    echo "the writers logged:"
    head -n 20 "$dir/writer.log"
    exit 1
fi
[ "$leftovers" -eq 0 ]
[ "$held_a" = "$writes" ] && [ "$held_b" = "$writes" ]
