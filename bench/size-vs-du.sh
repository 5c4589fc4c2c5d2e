#!/usr/bin/env bash
# Folder size against du, side by side on one generated tree, warm cache, alternating runs.
# Usage: bench/size-vs-du.sh [BUILD_FOLDER]   (default build/ci)
set -euo pipefail
export LC_ALL=C

build=${1:-build/ci}
program=$(realpath "$build/larkspire")
tree=$(mktemp -d "${TMPDIR:-/tmp}/larkspire-size-bench-XXXXXX")
trap 'rm -rf "$tree"' EXIT

# 200,000 files in 20,000 folders, sizes 0–64 KiB, some hidden files and links; the same every run.
/usr/bin/python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20261207)
folders = [root]
for i in range(20000):
    parent = folders[rng.randrange(len(folders))] if i > 50 else root
    path = os.path.join(parent, f"d{i}")
    os.mkdir(path)
    folders.append(path)
for i in range(200000):
    folder = folders[1 + i % 20000]
    name = (".h" if i % 50 == 0 else "f") + str(i)
    with open(os.path.join(folder, name), "wb") as f:
        f.truncate(rng.randrange(65537))
    if i % 500 == 0:
        os.symlink(folders[rng.randrange(len(folders))], os.path.join(folder, f"l{i}"))
PY

expected=$(find "$tree" -type f -printf '%s\n' | awk '{s += $1} END {printf "%.0f\n", s}')
walked=$("$program" --size "$tree" | head -1)
echo "regular files (find): $expected bytes"
echo "larkspire --size:     $walked bytes"
[ "$walked" = "$expected" ] || { echo "MISMATCH"; exit 1; }

hyperfine --warmup 3 --runs "${RUNS:-15}" --style basic \
  -n "larkspire --size" "$program --size $tree" \
  -n "du -sb" "du -sb $tree"

# hyperfine runs each command in one block; these rounds alternate them, so drift hits both alike.
rounds=${ROUNDS:-10}
walkTimes=() duTimes=()
for ((i = 0; i < rounds; ++i)); do
  start=$EPOCHREALTIME; "$program" --size "$tree" >/dev/null; walkTimes+=("$(awk -v a="$EPOCHREALTIME" -v b="$start" 'BEGIN {print a - b}')")
  start=$EPOCHREALTIME; du -sb "$tree" >/dev/null; duTimes+=("$(awk -v a="$EPOCHREALTIME" -v b="$start" 'BEGIN {print a - b}')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
walkMedian=$(median "${walkTimes[@]}")
duMedian=$(median "${duTimes[@]}")
echo "alternating, $rounds rounds: larkspire --size ${walkMedian}s, du -sb ${duMedian}s, ratio $(awk -v a="$walkMedian" -v b="$duMedian" 'BEGIN {printf "%.3f", a / b}')"
